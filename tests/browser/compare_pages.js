'use strict';
// Converts a copy of the example site and of the page corpus with
// tagshift-convert, loads every page and its converted twin in headless
// Chromium, and compares the object and embed elements that the browser ends
// up with after the page's scripts have run.
//
// Exit status: 0 every page matches or differs exactly as listed in
// expected_differences.js; 1 a new difference, a listed difference that is
// gone, or a failure; 77 skipped (no browser, or it cannot start).
//
// With --noscript 1 the sites are converted with --noscript: with script on
// every page must compare as without it, and with script off every page
// that holds a fallback must show its elements (they are in the rendered
// tree, inside the <noscript>).
//
// Usage: node compare_pages.js --converter PATH --work DIR
//          [--examples DIR] [--cases DIR] [--corpus DIR] [--chromium PATH] [--only SUBSTRING]
//          [--noscript 1]
const childProcess = require('child_process');
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const cdp = require('./cdp');
const expectedDifferences = require('./expected_differences');

const SKIP = 77;
const PAGE_PATTERNS = ['*.htm', '*.html', '*.php', '*.php3', '*.asp', '*.aspx'];
const LOAD_TIMEOUT_MS = 10000;
const SETTLE_MS = 300;  // time after the load event for timers the page sets

function parseArgs(argv) {
  const args = {};
  for (let i = 0; i < argv.length; i++) {
    const key = argv[i];
    if (!key.startsWith('--') || i + 1 >= argv.length) throw new Error(`bad argument: ${key}`);
    args[key.slice(2)] = argv[++i];
  }
  if (!args.converter || !args.work) throw new Error('--converter and --work are required');
  return args;
}

// The converter's page selection: the name ends like the pattern after the
// pattern's first two characters, case-sensitive.
function isPage(name) {
  return PAGE_PATTERNS.some((p) => name.endsWith(p.slice(2)));
}

function listPages(root, rel = '') {
  const pages = [];
  const entries = fs.readdirSync(path.join(root, rel), { withFileTypes: true })
    .sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0));
  for (const entry of entries) {
    const relPath = rel ? `${rel}/${entry.name}` : entry.name;
    if (entry.isDirectory()) pages.push(...listPages(root, relPath));
    else if (entry.isFile() && isPage(entry.name)) pages.push(relPath);
  }
  return pages;
}

function skip(reason) {
  console.log(`SKIPPED: ${reason}`);
  process.exit(SKIP);
}

// Copies SOURCE to WORK/NAME (writable, as an author's own folder would be)
// and converts it to WORK/NAME_Converted.
function prepareSet(converter, source, work, name, options = []) {
  const original = path.join(work, name);
  fs.cpSync(source, original, { recursive: true });
  makeWritable(original);
  const run = childProcess.spawnSync(converter, [...options, original], { encoding: 'utf8', timeout: 60000 });
  if (run.status !== 0) {
    throw new Error(`${converter} ${original} ended with ${run.status ?? run.signal}:\n${run.stdout}${run.stderr}`);
  }
  return { name, original, converted: `${original}_Converted`, summary: run.stdout.trim() };
}

function makeWritable(dir) {
  fs.chmodSync(dir, 0o755);
  for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
    const p = path.join(dir, entry.name);
    if (entry.isDirectory()) makeWritable(p);
    else if (entry.isFile()) fs.chmodSync(p, 0o644);
  }
}

// Chromium picks the type of a file URL by its extension and would offer a
// .php or .asp page as a download; such a page is viewed through a copy with
// an .html name in the same folder, so relative addresses stay the same.
function viewPath(root, relPage) {
  const page = path.join(root, relPage);
  if (/\.html?$/.test(relPage)) return page;
  const view = `${page}.view.html`;
  fs.copyFileSync(page, view);
  return view;
}

function shorten(value) {
  if (value.length <= 100) return JSON.stringify(value);
  const digest = crypto.createHash('sha1').update(value).digest('hex').slice(0, 8);
  return `${JSON.stringify(value.slice(0, 40))}…[${value.length} chars, sha1 ${digest}]`;
}

function attributeText(attributes) {
  return attributes.map(([name, value]) => `${name}=${shorten(value)}`).join(' ');
}

// One line per element; the depth (enclosing object and embed elements) and
// the params are part of the line, so a change of nesting shows as well.
function elementLine(element) {
  let line = `${element.tag} depth=${element.depth}`;
  if (element.attributes.length) line += ` ${attributeText(element.attributes)}`;
  for (const param of element.params) line += ` {param ${attributeText(param)}}`;
  return line;
}

// Runs in the page: every object and embed element in document order.
const COLLECT = `(() => {
  const elements = Array.from(document.querySelectorAll('object, embed'));
  const listed = new Set(elements);
  const attrs = (e) => Array.from(e.attributes, (a) => [a.name, a.value]);
  return {
    url: location.href,
    elements: elements.map((e) => {
      let depth = 0;
      for (let p = e.parentElement; p; p = p.parentElement) if (listed.has(p)) depth++;
      return {
        tag: e.localName,
        depth,
        attributes: attrs(e),
        params: Array.from(e.children).filter((c) => c.localName === 'param').map(attrs),
      };
    }),
  };
})()`;

class PageLoader {
  constructor(browser, sessionId) {
    this.browser = browser;
    this.sessionId = sessionId;
    this.blocked = [];
    this.errors = [];
    browser.on((message) => {
      if (message.sessionId !== sessionId) return;
      if (message.method === 'Fetch.requestPaused') this.filter(message.params);
      else if (message.method === 'Runtime.exceptionThrown') this.errors.push(errorText(message.params.exceptionDetails));
      else if (message.method === 'Page.javascriptDialogOpening') {
        this.send('Page.handleJavaScriptDialog', { accept: true }).catch(() => {});
      }
    });
  }

  send(method, params) {
    return this.browser.send(method, params, this.sessionId);
  }

  async init() {
    await this.send('Page.enable');
    await this.send('Page.setLifecycleEventsEnabled', { enabled: true });
    await this.send('Runtime.enable');
    // Every request passes here: local files go on, anything else fails.
    await this.send('Fetch.enable', { patterns: [{ urlPattern: '*' }] });
    await this.browser.send('Browser.setDownloadBehavior', { behavior: 'deny' });
  }

  filter(request) {
    const url = request.request.url;
    if (/^(file|data|blob|about):/i.test(url)) {
      this.send('Fetch.continueRequest', { requestId: request.requestId }).catch(() => {});
    } else {
      this.blocked.push(url);
      this.send('Fetch.failRequest', { requestId: request.requestId, errorReason: 'BlockedByClient' }).catch(() => {});
    }
  }

  // The object and embed elements inside <noscript> elements of the file.
  async count(file) {
    const loaded = await this.load(file, "document.querySelectorAll('noscript object, noscript embed').length");
    return loaded.error ? -1 : loaded.value;
  }

  // Loads the file, waits for its load event and a short settling time, and
  // returns the collected elements, or an error text.
  async load(file, expression = null) {
    const url = `file://${file.split('/').map(encodeURIComponent).join('/')}`;
    this.errors = [];
    let loaderId = null;
    const loaded = this.browser.waitFor((m) => m.sessionId === this.sessionId
      && m.method === 'Page.lifecycleEvent' && m.params.name === 'load'
      && (loaderId === null || m.params.loaderId === loaderId), LOAD_TIMEOUT_MS);
    const navigation = await this.send('Page.navigate', { url });
    if (navigation.errorText) return { error: `navigation failed: ${navigation.errorText}` };
    loaderId = navigation.loaderId;
    if (!(await loaded)) return { error: `no load event within ${LOAD_TIMEOUT_MS} ms` };
    await new Promise((resolve) => setTimeout(resolve, SETTLE_MS));
    const result = await this.send('Runtime.evaluate', { expression: expression || COLLECT, returnByValue: true });
    if (result.exceptionDetails) return { error: `collecting failed: ${result.exceptionDetails.text}` };
    const value = result.result.value;
    if (expression) return { value };
    if (value.url !== url) return { error: `page went on to ${value.url}` };
    return { elements: value.elements, errors: this.errors.slice() };
  }
}

// The first line of an uncaught exception's message, without the stack,
// which names the page's own path. Function numbers run over the whole
// conversion, so they depend on the order of the folder walk: they are left out.
function errorText(details) {
  const description = details.exception && details.exception.description;
  // Syntax error texts differ between browser versions: only the kind is kept.
  return (description || details.text || 'unknown error').split('\n')[0]
    .replace(/\b(InsertObject|InsertEmbed)\d+\b/g, '$1N')
    .replace(/^SyntaxError: .*/, 'SyntaxError');
}

// Lines only in the original ("- ") and only in the converted page ("+ "),
// in document order, from a longest common subsequence of the two lists.
function diffLines(a, b) {
  const n = a.length;
  const m = b.length;
  const lcs = Array.from({ length: n + 1 }, () => new Array(m + 1).fill(0));
  for (let i = n - 1; i >= 0; i--) {
    for (let j = m - 1; j >= 0; j--) {
      lcs[i][j] = a[i] === b[j] ? lcs[i + 1][j + 1] + 1 : Math.max(lcs[i + 1][j], lcs[i][j + 1]);
    }
  }
  const out = [];
  let i = 0;
  let j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && a[i] === b[j]) { i++; j++; }
    else if (j >= m || (i < n && lcs[i + 1][j] >= lcs[i][j + 1])) out.push(`- ${a[i++]}`);
    else out.push(`+ ${b[j++]}`);
  }
  return out;
}

function comparePage(original, converted) {
  const lines = [];
  if (original.error) lines.push(`! original: ${original.error}`);
  if (converted.error) lines.push(`! converted: ${converted.error}`);
  if (lines.length) return { lines, count: 0 };
  // Uncaught script errors are compared too: a block cut out of a script
  // breaks that script even when no element is missing.
  const errorLines = (result) => result.errors.map((e) => `script error: ${e}`);
  return {
    lines: [
      ...diffLines(original.elements.map(elementLine), converted.elements.map(elementLine)),
      ...diffLines(errorLines(original), errorLines(converted)),
    ],
    count: original.elements.length,
  };
}

function sameList(a, b) {
  return a.length === b.length && a.every((line, i) => line === b[i]);
}

async function main() {
  const args = parseArgs(process.argv.slice(2));
  const chromium = cdp.findChromium(args.chromium);
  if (!chromium) {
    skip(args.chromium || process.env.TAGSHIFT_CHROMIUM
      ? `no browser at ${args.chromium || process.env.TAGSHIFT_CHROMIUM}`
      : 'chromium is not installed (scripts/deps.sh test installs it)');
  }

  const work = path.resolve(args.work);
  fs.rmSync(work, { recursive: true, force: true });
  fs.mkdirSync(work, { recursive: true });

  const sets = [];
  const notes = [];
  const options = args.noscript === '1' ? ['--noscript'] : [];
  if (args.examples) sets.push(prepareSet(args.converter, args.examples, work, 'examples', options));
  if (args.cases) sets.push(prepareSet(args.converter, args.cases, work, 'cases', options));
  if (args.corpus && fs.existsSync(args.corpus)) {
    sets.push(prepareSet(args.converter, args.corpus, work, 'corpus', options));
  } else if (args.corpus) {
    notes.push(`corpus part skipped: no folder ${args.corpus}`);
  }

  const pages = [];
  for (const set of sets) {
    for (const rel of listPages(set.original)) {
      const id = `${set.name}/${rel}`;
      if (args.only && !id.includes(args.only)) continue;
      pages.push({ id, original: viewPath(set.original, rel), converted: viewPath(set.converted, rel) });
    }
  }

  let browser;
  let sessionId;
  try {
    ({ browser, sessionId } = await cdp.start(chromium, path.join(work, 'profile')));
  } catch (err) {
    skip(err.message);
  }

  const loader = new PageLoader(browser, sessionId);
  const results = [];
  const fallbackFailures = [];
  let fallbackPages = 0;
  try {
    await loader.init();
    for (const page of pages) {
      const original = await loader.load(page.original);
      const converted = await loader.load(page.converted);
      results.push({ id: page.id, ...comparePage(original, converted) });
    }
    if (options.length) {
      // Script off: the fallbacks' elements are in the tree, inside their <noscript>.
      await loader.send('Emulation.setScriptExecutionDisabled', { value: true });
      for (const page of pages) {
        if (!fs.readFileSync(page.converted, 'latin1').includes('</script><noscript>')) continue;
        fallbackPages++;
        const before = await loader.count(page.original);
        const after = await loader.count(page.converted);
        if (!(after > before)) fallbackFailures.push(`${page.id}: ${after} elements in <noscript> without script, ${before} in the original`);
      }
      await loader.send('Emulation.setScriptExecutionDisabled', { value: false });
    }
  } finally {
    await browser.close();
  }

  let failed = 0;
  let matched = 0;
  let documented = 0;
  for (const result of results) {
    const listed = expectedDifferences[result.id];
    const expected = listed && !(options.length && listed.goneWithNoscript) ? listed : null;
    const expectedLines = expected ? expected.lines : [];
    if (sameList(result.lines, expectedLines)) {
      if (result.lines.length === 0) {
        matched++;
        console.log(`same       ${result.id} (${result.count} elements)`);
      } else {
        documented++;
        console.log(`limitation ${result.id}: ${expected.cause}`);
        for (const line of result.lines) console.log(`    ${line}`);
      }
      continue;
    }
    failed++;
    console.log(`FAILED     ${result.id}`);
    if (result.lines.length === 0) console.log('  the listed difference is gone: update expected_differences.js');
    const seen = result.lines.filter((l) => !expectedLines.includes(l));
    const gone = expectedLines.filter((l) => !result.lines.includes(l));
    for (const line of seen) console.log(`  new:  ${line}`);
    for (const line of gone) console.log(`  gone: ${line}`);
    if (!seen.length && !gone.length) console.log('  the listed lines come in another order or number');
  }
  for (const id of Object.keys(expectedDifferences)) {
    if (options.length && expectedDifferences[id].goneWithNoscript) continue;
    const setRan = sets.some((s) => s.name === id.split('/')[0]);
    if (setRan && !args.only && !results.some((r) => r.id === id)) {
      failed++;
      console.log(`FAILED     ${id}: listed in expected_differences.js but not compared`);
    }
  }
  if (options.length) {
    for (const line of fallbackFailures) console.log(`FAILED     ${line}`);
    failed += fallbackFailures.length;
    console.log(`script off: ${fallbackPages} pages with a fallback, ${fallbackPages - fallbackFailures.length} show it`);
    if (fallbackPages === 0) {
      failed++;
      console.log('FAILED     no page got a fallback');
    }
  }
  for (const note of notes) console.log(`NOTE: ${note}`);
  if (loader.blocked.length) console.log(`outside addresses refused: ${loader.blocked.length}`);
  console.log(`pages compared: ${results.length}, same: ${matched}, documented limitations: ${documented}, failed: ${failed}`);
  process.exit(failed ? 1 : 0);
}

main().catch((err) => {
  console.error(`FAILED: ${err.stack || err}`);
  process.exit(1);
});
