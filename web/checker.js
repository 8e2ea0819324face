// The page's mwc-check: the checker built to WebAssembly (checker.wasm), in
// a worker of its own, so that the page keeps ticking while it explores
// every key script. A question comes as {form, question}; the answer goes
// back as {status, answer, json, errors}: mwc-check's exit status, its
// words, its JSON line, and what it said on standard error.
"use strict";

const STDERR = 2;
const ANSWER_OUT = 3;
const JSON_OUT = 4;
const ERRNO_SPIPE = 70;
const ERRNO_BADF = 8;
const FILETYPE_CHARACTER_DEVICE = 2;
const TEXT_SIZE = 1 << 16; // the module's question buffer

let checker = null;
let memory = null;
const written = {[STDERR]: [], [ANSWER_OUT]: [], [JSON_OUT]: []};
const decoder = new TextDecoder();
const encoder = new TextEncoder();

// Just what the C library's output needs; standard output (the ticks' own
// lines) is taken and dropped.
const wasi = {
  fd_write(fd, iovs, count, nwritten) {
    const view = new DataView(memory.buffer);
    let total = 0;
    for (let i = 0; i < count; i++) {
      const base = view.getUint32(iovs + 8 * i, true);
      const length = view.getUint32(iovs + 8 * i + 4, true);
      if (fd in written) {
        written[fd].push(decoder.decode(new Uint8Array(memory.buffer, base, length)));
      }
      total += length;
    }
    view.setUint32(nwritten, total, true);
    return 0;
  },
  fd_fdstat_get(fd, stat) {
    const view = new DataView(memory.buffer);
    for (let i = 0; i < 24; i++) {
      view.setUint8(stat + i, 0);
    }
    view.setUint8(stat, FILETYPE_CHARACTER_DEVICE);
    return 0;
  },
  fd_fdstat_set_flags() {
    return 0;
  },
  fd_seek() {
    return ERRNO_SPIPE;
  },
  fd_read() {
    return ERRNO_BADF;
  },
  fd_close() {
    return 0;
  },
};

function take(fd) {
  return written[fd].splice(0).join("");
}

async function load() {
  const response = await fetch("checker.wasm");
  if (!response.ok) {
    throw new Error(`checker.wasm: ${response.status} ${response.statusText}`);
  }
  const {instance} = await WebAssembly.instantiateStreaming(response,
                                                            {wasi_snapshot_preview1: wasi});
  memory = instance.exports.memory;
  instance.exports._initialize();
  return instance.exports;
}

// Writes `text` and its NUL into the module's buffer at `at`; false when it
// does not fit.
function put(at, text, size) {
  const bytes = encoder.encode(`${text}\0`);
  if (bytes.length > size) {
    return false;
  }
  new Uint8Array(memory.buffer, at, bytes.length).set(bytes);
  return true;
}

self.onmessage = async ({data}) => {
  try {
    checker ??= await load();
    if (data.forms) {
      checker.mwc_check_forms();
      self.postMessage({forms: JSON.parse(take(ANSWER_OUT))});
      return;
    }
    if (!put(checker.mwc_check_question(), data.question, TEXT_SIZE)) {
      self.postMessage({status: 2, answer: "", json: "",
                        errors: `The question is longer than ${TEXT_SIZE - 1} bytes.`});
      return;
    }
    put(checker.mwc_check_keys(), "", 1);
    const status = checker.mwc_check_ask(data.form);
    self.postMessage({status, answer: take(ANSWER_OUT), json: take(JSON_OUT),
                      errors: take(STDERR)});
  } catch (error) {
    self.postMessage({status: -1, answer: "", json: "", errors: error.message});
  }
};
