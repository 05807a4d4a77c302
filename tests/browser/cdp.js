'use strict';
// A minimal DevTools-protocol client over --remote-debugging-pipe: the browser
// reads commands from its fd 3 and writes answers and events to its fd 4, each
// message a JSON text followed by a NUL byte. No network port is opened.
const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');

const START_TIMEOUT_MS = 30000;

const CHROMIUM_FLAGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--disable-default-apps', '--disable-extensions', '--mute-audio',
  '--no-default-browser-check', '--disable-dev-shm-usage',
  // The default encoding of a page that declares none follows the language.
  '--lang=en-US',
  // No name resolves, so an outside address fails at once even if a request
  // slipped past the interception below.
  '--host-resolver-rules=MAP * ~NOTFOUND',
];

class Browser {
  constructor(child) {
    this.child = child;
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
    this.exited = null;
    this.stderr = '';
    let buffered = Buffer.alloc(0);
    child.stdio[4].on('data', (chunk) => {
      buffered = Buffer.concat([buffered, chunk]);
      let end;
      while ((end = buffered.indexOf(0)) >= 0) {
        const text = buffered.subarray(0, end).toString('utf8');
        buffered = buffered.subarray(end + 1);
        this.dispatch(JSON.parse(text));
      }
    });
    child.stderr.on('data', (chunk) => {
      this.stderr = (this.stderr + chunk.toString()).slice(-4000);
    });
    child.on('exit', (code, signal) => {
      this.exited = signal ? `signal ${signal}` : `exit status ${code}`;
      for (const { reject } of this.pending.values()) reject(new Error(`browser ended (${this.exited})`));
      this.pending.clear();
    });
    child.on('error', (err) => {
      this.exited = err.message;
      for (const { reject } of this.pending.values()) reject(err);
      this.pending.clear();
    });
    // A browser that dies closes its end of the pipe; writes then fail.
    child.stdio[3].on('error', () => {});
  }

  dispatch(message) {
    if (message.id !== undefined) {
      const entry = this.pending.get(message.id);
      if (!entry) return;
      this.pending.delete(message.id);
      clearTimeout(entry.timer);
      if (message.error) entry.reject(new Error(`${entry.method}: ${message.error.message}`));
      else entry.resolve(message.result);
      return;
    }
    for (const listener of this.listeners.slice()) listener(message);
  }

  // Sends one command; sessionId addresses an attached page.
  send(method, params = {}, sessionId = undefined, timeoutMs = 15000) {
    if (this.exited) return Promise.reject(new Error(`browser ended (${this.exited})`));
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        this.pending.delete(id);
        reject(new Error(`${method}: no answer within ${timeoutMs} ms`));
      }, timeoutMs);
      this.pending.set(id, { resolve, reject, timer, method });
      this.child.stdio[3].write(JSON.stringify(message) + '\0');
    });
  }

  on(listener) {
    this.listeners.push(listener);
    return () => {
      const i = this.listeners.indexOf(listener);
      if (i >= 0) this.listeners.splice(i, 1);
    };
  }

  // Resolves with the first event for which test(message) is true, or with
  // null after timeoutMs.
  waitFor(test, timeoutMs) {
    return new Promise((resolve) => {
      const off = this.on((message) => {
        if (!test(message)) return;
        off();
        clearTimeout(timer);
        resolve(message);
      });
      const timer = setTimeout(() => {
        off();
        resolve(null);
      }, timeoutMs);
    });
  }

  close() {
    if (this.exited) return Promise.resolve();
    return new Promise((resolve) => {
      const timer = setTimeout(() => {
        this.child.kill('SIGKILL');
        resolve();
      }, 3000);
      this.child.once('exit', () => {
        clearTimeout(timer);
        resolve();
      });
      this.send('Browser.close', {}, undefined, 3000).catch(() => this.child.kill('SIGKILL'));
    });
  }
}

function launch(executable, args) {
  const child = spawn(executable, [...args, '--remote-debugging-pipe'], {
    stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'],
  });
  return new Browser(child);
}

// A browser named by --chromium or TAGSHIFT_CHROMIUM is the only one tried;
// otherwise chromium from PATH, then /usr/bin/chromium.
function findChromium(requested) {
  const named = requested || process.env.TAGSHIFT_CHROMIUM;
  const candidates = named ? [named]
    : [...(process.env.PATH || '').split(':').filter(Boolean).map((d) => path.join(d, 'chromium')), '/usr/bin/chromium'];
  for (const candidate of candidates) {
    try {
      fs.accessSync(candidate, fs.constants.X_OK);
      if (fs.statSync(candidate).isFile()) return candidate;
    } catch (_) { /* next */ }
  }
  return null;
}

// Starts the browser with a profile of its own and attaches to its page;
// throws with the browser's last words when it cannot start.
async function start(chromium, profile, extraFlags = []) {
  const browser = launch(chromium, [...CHROMIUM_FLAGS, ...extraFlags, `--user-data-dir=${profile}`, 'about:blank']);
  try {
    await browser.send('Browser.getVersion', {}, undefined, START_TIMEOUT_MS);
    const { targetInfos } = await browser.send('Target.getTargets');
    let target = targetInfos.find((t) => t.type === 'page');
    if (!target) target = { targetId: (await browser.send('Target.createTarget', { url: 'about:blank' })).targetId };
    const { sessionId } = await browser.send('Target.attachToTarget', { targetId: target.targetId, flatten: true });
    return { browser, sessionId };
  } catch (err) {
    const detail = browser.stderr.trim().split('\n').slice(-5).join('\n');
    await browser.close();
    throw new Error(`chromium (${chromium}) could not start: ${err.message}${detail ? `\n${detail}` : ''}`);
  }
}

module.exports = { launch, start, findChromium, CHROMIUM_FLAGS };
