"use strict";
// What the gallery and the console's picker share: reading the patterns in their compact form
// (names and facts, then every table quantised to 8 bits, delta-coded and deflated), a
// pattern's position between pips, and the search that finds them by name or description.
window.motiloomPatterns = (() => {
  async function inflate(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream("deflate"));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  // Undo the delta coding, then cut the stream into each pattern's axes (unused axes stay 0).
  function decode(rows, bytes) {
    let level = 0;
    for (let i = 0; i < bytes.length; i++) {
      level = (level + bytes[i]) & 255;
      bytes[i] = level;
    }
    let offset = 0;
    return rows.map(([name, description, period, dims, pack, family], index) => {
      const axes = [0, 1, 2].map((axis) => {
        const values = new Float32Array(period);
        if (axis < dims) {
          for (let k = 0; k < period; k++) values[k] = bytes[offset + k] / 127.5 - 1;
          offset += period;
        }
        return values;
      });
      return { index, name, description, period, dims, pack, family, axes };
    });
  }

  // The patterns of a document {entries, data}.
  async function read(document_) {
    return decode(document_.entries, await inflate(document_.data));
  }

  // Position at a fractional pip, on the straight line between neighbouring pips.
  function valueAt(entry, axis, pip) {
    const whole = Math.floor(pip);
    const k = ((whole % entry.period) + entry.period) % entry.period;
    const next = k + 1 === entry.period ? 0 : k + 1;
    const values = entry.axes[axis];
    return values[k] + (values[next] - values[k]) * (pip - whole);
  }

  // A name pattern (with * or ?) is matched against names; anything else is words, each of
  // which must appear in the name or the description.
  function matcher(text) {
    const wanted = text.trim().toLowerCase();
    if (!wanted) return () => true;
    if (/[*?]/.test(wanted)) {
      const escaped = wanted.replace(/[.+^${}()|[\]\\]/g, "\\$&");
      const pattern = new RegExp(`^${escaped.replace(/\*/g, ".*").replace(/\?/g, ".")}$`);
      return (entry) => pattern.test(entry.name);
    }
    const words = wanted.split(/\s+/);
    return (entry) => {
      const description = entry.description.toLowerCase();
      return words.every((word) => entry.name.includes(word) || description.includes(word));
    };
  }

  return { read, valueAt, matcher };
})();
