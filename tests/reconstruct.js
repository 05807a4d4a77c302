// Puts every converted block back into its page by running the generated
// script functions with a document.write that records what they write, and
// compares the result with the original page.
//
// Usage: node reconstruct.js ORIGINAL_ROOT CONVERTED_ROOT PAGE...
// PAGE is a page's path relative to both roots. Pages are compared as exact
// bytes, line ends included: each line of a block is written back with its
// own line end.
'use strict';
const fs = require('fs');
const path = require('path');
const vm = require('vm');

const [originalRoot, convertedRoot, ...pages] = process.argv.slice(2);
const callPattern = /<script src='(object|embed)\.js' type='text\/javascript'><\/script><script type='text\/javascript'>(Insert(?:Object|Embed)\d+)\(\);<\/script>/g;
const contexts = new Map();
let failures = 0;

function folderContext(folder) {
  if (contexts.has(folder)) return contexts.get(folder);
  const written = [];
  const context = vm.createContext({ document: { write: (text) => written.push(text) } });
  for (const name of ['object.js', 'embed.js']) {
    const file = path.join(folder, name);
    if (fs.existsSync(file)) vm.runInContext(fs.readFileSync(file, 'latin1'), context, { filename: file });
  }
  const entry = { context, written };
  contexts.set(folder, entry);
  return entry;
}

for (const page of pages) {
  const original = fs.readFileSync(path.join(originalRoot, page), 'latin1');
  const convertedFile = path.join(convertedRoot, page);
  const converted = fs.readFileSync(convertedFile, 'latin1');
  const { context, written } = folderContext(path.dirname(convertedFile));
  let problem = null;
  const rebuilt = converted.replace(callPattern, (call, kind, fn) => {
    if (!fn.toLowerCase().includes(kind)) problem = problem || `${fn} is called with the ${kind}.js include`;
    if (typeof context[fn] !== 'function') {
      problem = problem || `${fn} is not defined in ${kind}.js`;
      return call;
    }
    written.length = 0;
    context[fn]();
    return written.join('');
  });
  const want = original;
  const got = rebuilt;
  if (!problem && want !== got) {
    let at = 0;
    while (at < want.length && want[at] === got[at]) ++at;
    problem = `differs at byte ${at}: want ${JSON.stringify(want.slice(at, at + 60))}, got ${JSON.stringify(got.slice(at, at + 60))}`;
  }
  if (problem) {
    ++failures;
    console.log(`${page}: ${problem}`);
  }
}
console.log(`${pages.length - failures} of ${pages.length} pages rebuilt exactly`);
process.exit(failures ? 1 : 0);
