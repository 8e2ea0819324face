// The stand-in for WASI's file calls that the page's two modules (the
// oven's tick, oven.wasm, and its checker, checker.wasm) are given: just
// what the C library's output needs. `written` maps each descriptor the
// module may write to a list that gathers its bytes, or to null for one
// whose bytes are dropped; any other is a bad descriptor. The map may
// change after the module starts: each call reads it afresh.

// The C library's standard descriptors, as every WASI program has them.
export const STDOUT = 1;
export const STDERR = 2;

const ERRNO_SUCCESS = 0;
const ERRNO_BADF = 8;
const ERRNO_SPIPE = 70;
const FILETYPE_CHARACTER_DEVICE = 2;
const FDSTAT_SIZE = 24;
const IOVEC_SIZE = 8;
const decoder = new TextDecoder();

export function wasiImports(memory, written) {
  const calls = {
    fd_write(fd, iovs, count, nwritten) {
      const view = new DataView(memory().buffer);
      let total = 0;
      for (let i = 0; i < count; i++) {
        const base = view.getUint32(iovs + IOVEC_SIZE * i, true);
        const length = view.getUint32(iovs + IOVEC_SIZE * i + 4, true);
        if (written[fd]) {
          written[fd].push(new Uint8Array(memory().buffer.slice(base, base + length)));
        }
        total += length;
      }
      view.setUint32(nwritten, total, true);
      return fd in written ? ERRNO_SUCCESS : ERRNO_BADF;
    },
    fd_fdstat_get(fd, stat) {
      new Uint8Array(memory().buffer, stat, FDSTAT_SIZE).fill(0);
      new DataView(memory().buffer).setUint8(stat, FILETYPE_CHARACTER_DEVICE);
      return ERRNO_SUCCESS;
    },
    fd_fdstat_set_flags() {
      return ERRNO_SUCCESS;
    },
    fd_seek() {
      return ERRNO_SPIPE;
    },
    fd_read() {
      return ERRNO_BADF;
    },
    fd_close() {
      return ERRNO_SUCCESS;
    },
  };
  return {wasi_snapshot_preview1: calls};
}

// What the module wrote on `fd`, as text, and the list emptied.
export function takeText(written, fd) {
  const chunks = written[fd].splice(0);
  if (chunks.length === 1) {
    return decoder.decode(chunks[0]);
  }
  const bytes = new Uint8Array(chunks.reduce((size, chunk) => size + chunk.length, 0));
  let at = 0;
  for (const chunk of chunks) {
    bytes.set(chunk, at);
    at += chunk.length;
  }
  return decoder.decode(bytes);
}
