// The JavaScript lint (scripts/test.sh): eslint's recommended rules over the page, the browser
// tests and the benchmark.
import js from '@eslint/js';
import globals from 'globals';

export default [
  { ignores: ['build*/**', 'world/**'] },
  js.configs.recommended,
  {
    files: ['console/web/**/*.js'],
    languageOptions: { sourceType: 'module', globals: globals.browser },
  },
  {
    files: ['console/web/dev/**/*.mjs', 'tests/**/*.mjs', 'bench/*.mjs', 'scripts/*.mjs'],
    languageOptions: { sourceType: 'module', globals: { ...globals.node, ...globals.browser } },
  },
];
