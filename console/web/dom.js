// Small helpers for building the page's elements and reading the snapshot's windows.

// Makes an element: el('button', {class: 'x', onclick: f, 'aria-label': 'y'}, child, ...).
// Attributes whose value is null, undefined or false are left out; children may be strings,
// elements, arrays of them, or null.
export function el(tag, attrs = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attrs)) {
    if (value === null || value === undefined || value === false) continue;
    if (name.startsWith('on') && typeof value === 'function') {
      node.addEventListener(name.slice(2), value);
    } else if (name === 'style' && typeof value === 'object') {
      Object.assign(node.style, value);
    } else if (name in node && typeof value !== 'string') {
      node[name] = value;
    } else {
      node.setAttribute(name, value === true ? '' : String(value));
    }
  }
  append(node, children);
  return node;
}

function append(node, children) {
  for (const child of children) {
    if (child === null || child === undefined || child === false) continue;
    if (Array.isArray(child)) append(node, child);
    else node.append(child instanceof Node ? child : document.createTextNode(String(child)));
  }
}

// A text with "&" mnemonics as nodes: the letter after a single "&" underlined, "&&" as "&".
// A tab starts the right-aligned part of a menu item (its accelerator).
export function mnemonicNodes(text) {
  const nodes = [];
  let plain = '';
  for (let i = 0; i < text.length; ++i) {
    const ch = text[i];
    if (ch === '&' && i + 1 < text.length) {
      if (text[i + 1] === '&') {
        plain += '&';
      } else {
        if (plain) nodes.push(plain);
        plain = '';
        nodes.push(el('u', {}, text[i + 1]));
      }
      ++i;
    } else {
      plain += ch;
    }
  }
  if (plain) nodes.push(plain);
  return nodes;
}

// The mnemonic letter of a text, lower case; '' when it has none.
export function mnemonicOf(text) {
  for (let i = 0; i + 1 < text.length; ++i) {
    if (text[i] !== '&') continue;
    if (text[i + 1] === '&') {
      ++i;
      continue;
    }
    return text[i + 1].toLowerCase();
  }
  return '';
}

// The text as it reads without mnemonics (for labels and names).
export function plainText(text) {
  return text.replace(/&(.)/g, '$1').replace(/\t.*$/, '');
}

// The picture file of an image name of the framework ("add new form" in the large set).
export function imageUrl(folder, name) {
  return `images/${folder}/${name.replace(/ /g, '-')}.svg`;
}

// Depth first, the window of a handle among windows and their children; null when none.
export function findWindow(windows, predicate) {
  for (const w of windows) {
    if (predicate(w)) return w;
    const deeper = findWindow(w.children || [], predicate);
    if (deeper) return deeper;
  }
  return null;
}
