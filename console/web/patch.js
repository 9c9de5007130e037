// The console's changes from a state the page holds: a JSON Patch (RFC 6902) of the
// operations the console makes (add, remove, replace), applied to the state in place.
function unescape(token) {
  return token.replace(/~1/g, '/').replace(/~0/g, '~');
}

const INDEX = /^(0|[1-9][0-9]*)$/;

// False when an operation does not fit `doc` (the operations before it are applied): the
// page then takes the whole state instead.
export function applyPatch(doc, patch) {
  if (!Array.isArray(patch)) return false;
  for (const { op, path, value } of patch) {
    if (typeof path !== 'string' || !path.startsWith('/')) return false;
    const keys = path.slice(1).split('/').map(unescape);
    const last = keys.pop();
    let parent = doc;
    for (const key of keys) {
      if (parent === null || typeof parent !== 'object' || !Object.hasOwn(parent, key)) return false;
      parent = parent[key];
    }
    if (parent === null || typeof parent !== 'object') return false;
    if (Array.isArray(parent)) {
      const index = op === 'add' && last === '-' ? parent.length : INDEX.test(last) ? Number(last) : -1;
      if (index < 0 || index > parent.length || (op !== 'add' && index === parent.length)) return false;
      if (op === 'add') parent.splice(index, 0, value);
      else if (op === 'remove') parent.splice(index, 1);
      else if (op === 'replace') parent[index] = value;
      else return false;
    } else {
      if (op !== 'add' && !Object.hasOwn(parent, last)) return false;
      if (op === 'remove') delete parent[last];
      else if (op === 'add' || op === 'replace') {
        Object.defineProperty(parent, last, { value, writable: true, enumerable: true, configurable: true });
      } else return false;
    }
  }
  return true;
}
