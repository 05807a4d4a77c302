// Puts every converted block back into its page by running the generated
// script functions with a document.write that records what they write, and
// compares the result with the original page.
//
// Usage: node reconstruct.js [--es5 NODE_MODULES] ORIGINAL_ROOT CONVERTED_ROOT PAGE...
// PAGE is a page's path relative to both roots. Pages are compared as exact
// bytes, line ends included: each line of a block is written back with its
// own line end. With --es5, every script file the pages use must also parse
// as ECMAScript 5 (acorn, from the node_modules folder given), read as UTF-8
// as a browser reads a UTF-8 site: an engine before ES2019 stops at a raw
// LINE SEPARATOR or PARAGRAPH SEPARATOR inside a string.
'use strict';
const fs = require('fs');
const path = require('path');
const vm = require('vm');

const args = process.argv.slice(2);
let acorn = null;
if (args[0] === '--es5') {
  args.shift();
  acorn = require(path.join(args.shift(), 'acorn'));
}
const [originalRoot, convertedRoot, ...pages] = args;
const callPattern = /<script src='(object|embed)\.js' type='text\/javascript'><\/script><script type='text\/javascript'>(Insert(?:Object|Embed)(\d+))\(\);<\/script>/g;
const contexts = new Map();
let failures = 0;

function folderContext(folder) {
  if (contexts.has(folder)) return contexts.get(folder);
  const written = [];
  const context = vm.createContext({ document: { write: (text) => written.push(text) } });
  const problems = [];
  for (const name of ['object.js', 'embed.js']) {
    const file = path.join(folder, name);
    if (!fs.existsSync(file)) continue;
    if (acorn) {
      try {
        acorn.parse(fs.readFileSync(file, 'utf8'), { ecmaVersion: 5 });
      } catch (error) {
        problems.push(`${file} is no ES5 script: ${error.message}`);
      }
    }
    vm.runInContext(fs.readFileSync(file, 'latin1'), context, { filename: file });
  }
  const entry = { context, written, problems };
  contexts.set(folder, entry);
  return entry;
}

// The text one call writes, as bytes in a latin1 string: the scripts were
// read as latin1, so everything but the \u2028 and \u2029 escapes is a byte
// already; those two stand for the UTF-8 bytes they replaced.
function writtenBytes(text) {
  return text.replace(/\u2028/g, '\xe2\x80\xa8').replace(/\u2029/g, '\xe2\x80\xa9');
}

// A block can hold the call of an earlier block (an embed's quoted value
// that held an <object): the calls are undone from the highest number down,
// so that each block's text is back before the calls inside it are undone.
function rebuild(converted, context, written) {
  let text = converted;
  for (;;) {
    let last = null;
    for (const match of text.matchAll(callPattern))
      if (!last || Number(match[3]) > Number(last[3])) last = match;
    if (!last) return { text };
    const [call, kind, fn] = last;
    if (!fn.toLowerCase().includes(kind)) return { text, problem: `${fn} is called with the ${kind}.js include` };
    if (typeof context[fn] !== 'function') return { text, problem: `${fn} is not defined in ${kind}.js` };
    written.length = 0;
    context[fn]();
    text = text.slice(0, last.index) + writtenBytes(written.join('')) + text.slice(last.index + call.length);
  }
}

for (const page of pages) {
  const original = fs.readFileSync(path.join(originalRoot, page), 'latin1');
  const convertedFile = path.join(convertedRoot, page);
  const converted = fs.readFileSync(convertedFile, 'latin1');
  const { context, written, problems } = folderContext(path.dirname(convertedFile));
  let { text: got, problem } = rebuild(converted, context, written);
  if (!problem && problems.length) problem = problems.join('; ');
  const want = original;
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
