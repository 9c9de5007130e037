// The page: renders each state of the console (the control's window tree and the console's
// own chrome) and turns the user's mouse and keys into the console's input. The parts:
// transport.js (requests and the poll), render.js (drawing) and input.js (keys and mouse).
import { forgetListView } from './control.js';
import { replayTypeAhead } from './input.js';
import { render } from './render.js';
import { app, start } from './transport.js';

app.draw = render;
// Keys held while a dialog key was on its way are carried out once its answer is drawn.
app.afterDraw = replayTypeAhead;

// Tests redraw the page from the state it holds, as an answer would, in the middle of a
// gesture; `full` draws the list view anew as well.
window.addEventListener('qv-redraw', (e) => {
  if (e.detail?.full) forgetListView();
  if (app.state) render();
});

start();
