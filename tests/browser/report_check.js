'use strict';
// Opens a run's report in headless Chromium: it must load with no script
// error, ask for nothing but its own file, and every link to a file must
// name one that exists. With --shots it also takes the pictures of docs/;
// with --times it prints how long the load took.
//
// Exit status: 0 all well; 1 a fault; 77 skipped (no browser, or it cannot
// start).
//
// Usage: node report_check.js --tool PATH --work DIR --site DIR [--shots DIR]
//        node report_check.js --report FILE --work DIR [--times N]
//   --tool converts a copy of --site (tagshift_report_tool) and writes its
//   report; --report opens a report that exists.
const childProcess = require('child_process');
const fs = require('fs');
const path = require('path');
const url = require('url');
const cdp = require('./cdp');

const SKIP = 77;
const LOAD_TIMEOUT_MS = 120000;

function parseArgs(argv) {
  const args = {};
  for (let i = 0; i < argv.length; i++) {
    if (!argv[i].startsWith('--') || i + 1 >= argv.length) throw new Error(`bad argument: ${argv[i]}`);
    args[argv[i].slice(2)] = argv[++i];
  }
  if (!args.work || !(args.report || (args.tool && args.site))) throw new Error('--work and --report or --tool and --site');
  return args;
}

function makeReport(args) {
  const site = path.join(args.work, path.basename(args.site));
  fs.rmSync(args.work, { recursive: true, force: true });
  fs.mkdirSync(args.work, { recursive: true });
  fs.cpSync(args.site, site, { recursive: true });
  const report = path.join(args.work, `${path.basename(site)}_Converted-report.html`);
  const run = childProcess.spawnSync(args.tool, [site, report], { encoding: 'utf8', timeout: 60000 });
  if (run.status !== 0) throw new Error(`${args.tool} ended with ${run.status ?? run.signal}:\n${run.stdout}${run.stderr}`);
  return report;
}

// Runs in the report: its links to files and whether it holds any script.
const COLLECT = `(() => ({
  links: [...document.querySelectorAll('a[href]')].map((a) => a.href).filter((h) => h.startsWith('file:')),
  scripts: document.scripts.length,
}))()`;
// Asking for the page's height lays it out (what a reader waits for).
const LAYOUT = 'document.documentElement.scrollHeight';

class Report {
  constructor(browser, sessionId) {
    this.browser = browser;
    this.sessionId = sessionId;
    this.requests = [];
    this.errors = [];
    browser.on((message) => {
      if (message.sessionId !== sessionId) return;
      if (message.method === 'Fetch.requestPaused') {
        this.requests.push(message.params.request.url);
        // Only the report itself may load.
        const allowed = message.params.request.url === this.url;
        this.send(allowed ? 'Fetch.continueRequest' : 'Fetch.failRequest',
          allowed ? { requestId: message.params.requestId }
            : { requestId: message.params.requestId, errorReason: 'BlockedByClient' }).catch(() => {});
      } else if (message.method === 'Runtime.exceptionThrown') {
        this.errors.push(message.params.exceptionDetails.text);
      } else if (message.method === 'Log.entryAdded' && message.params.entry.level === 'error') {
        this.errors.push(message.params.entry.text);
      }
    });
  }

  send(method, params = {}) {
    return this.browser.send(method, params, this.sessionId, LOAD_TIMEOUT_MS);
  }

  async init() {
    await this.send('Page.enable');
    await this.send('Page.setLifecycleEventsEnabled', { enabled: true });
    await this.send('Runtime.enable');
    await this.send('Log.enable');
    await this.send('Fetch.enable', { patterns: [{ urlPattern: '*' }] });
  }

  // Loads the report; returns the milliseconds to its load event and to its
  // first layout, and what COLLECT finds.
  async load(file) {
    this.url = url.pathToFileURL(file).href;
    this.requests = [];
    this.errors = [];
    let loaderId = null;
    const loaded = this.browser.waitFor((m) => m.sessionId === this.sessionId
      && m.method === 'Page.lifecycleEvent' && m.params.name === 'load'
      && (loaderId === null || m.params.loaderId === loaderId), LOAD_TIMEOUT_MS);
    const start = process.hrtime.bigint();
    const navigation = await this.send('Page.navigate', { url: this.url });
    if (navigation.errorText) throw new Error(`navigation failed: ${navigation.errorText}`);
    loaderId = navigation.loaderId;
    if (!(await loaded)) throw new Error(`no load event within ${LOAD_TIMEOUT_MS} ms`);
    const loadMs = Number(process.hrtime.bigint() - start) / 1e6;
    await this.send('Runtime.evaluate', { expression: LAYOUT, returnByValue: true });
    const laidOutMs = Number(process.hrtime.bigint() - start) / 1e6;
    const { result } = await this.send('Runtime.evaluate', { expression: COLLECT, returnByValue: true });
    return { loadMs, laidOutMs, ...result.value };
  }

  async shoot(file, width, scale, dark) {
    await this.send('Emulation.setDeviceMetricsOverride',
      { width: Math.round(width / scale), height: Math.round(900 / scale), deviceScaleFactor: scale, mobile: false });
    await this.send('Emulation.setEmulatedMedia',
      { features: [{ name: 'prefers-color-scheme', value: dark ? 'dark' : 'light' }] });
    await new Promise((resolve) => setTimeout(resolve, 200));
    const { data } = await this.send('Page.captureScreenshot', { format: 'png' });
    fs.writeFileSync(file, Buffer.from(data, 'base64'));
  }
}

async function main() {
  const args = parseArgs(process.argv.slice(2));
  const chromium = cdp.findChromium(args.chromium);
  if (!chromium) {
    console.log('SKIPPED: no chromium on PATH nor at /usr/bin/chromium (scripts/deps.sh test installs it)');
    process.exit(SKIP);
  }
  const reportFile = args.report ? path.resolve(args.report) : makeReport(args);
  let browser;
  let sessionId;
  try {
    ({ browser, sessionId } = await cdp.start(chromium, path.join(args.work, 'profile')));
  } catch (err) {
    console.log(`SKIPPED: ${err.message}`);
    process.exit(SKIP);
  }
  const faults = [];
  try {
    const report = new Report(browser, sessionId);
    await report.init();
    const times = Number(args.times || 1);
    for (let i = 0; i < times; i++) {
      const seen = await report.load(reportFile);
      if (args.times) {
        console.log(`load ${i + 1}: load event ${seen.loadMs.toFixed(0)} ms, laid out ${seen.laidOutMs.toFixed(0)} ms`
          + ` (${fs.statSync(reportFile).size} bytes, ${seen.links.length} file links)`);
      }
      if (i > 0) continue;
      const outside = report.requests.filter((r) => r !== report.url);
      if (outside.length) faults.push(`requests outside the file: ${outside.join(', ')}`);
      if (report.errors.length) faults.push(`errors: ${report.errors.join('; ')}`);
      if (seen.scripts !== 0) faults.push(`${seen.scripts} script elements`);
      if (!args.times) {
        if (seen.links.length === 0) faults.push('no link to a page');
        for (const link of seen.links) {
          if (!fs.existsSync(url.fileURLToPath(link))) faults.push(`link to nothing: ${link}`);
        }
        console.log(`${seen.links.length} links checked, ${report.requests.length} request(s)`);
      }
    }
    if (args.shots) {
      fs.mkdirSync(args.shots, { recursive: true });
      await report.shoot(path.join(args.shots, 'report.png'), 1280, 1, false);
      await report.shoot(path.join(args.shots, 'report-200.png'), 1280, 2, false);
      await report.shoot(path.join(args.shots, 'report-dark.png'), 1280, 1, true);
    }
  } finally {
    await browser.close();
  }
  for (const fault of faults) console.log(`FAULT: ${fault}`);
  process.exit(faults.length ? 1 : 0);
}

main().catch((err) => {
  console.error(err.stack || String(err));
  process.exit(1);
});
