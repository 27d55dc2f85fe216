"use strict";
// The console page: it shows the running show (state as JSON, every frame as binary) and sends
// changes, over one WebSocket that it reconnects when the show goes away. See
// motiloom_kit/console/protocol.py for the messages.
(() => {
  const { valueAt } = motiloomPatterns;
  const PIPS_PER_BEAT = 64;
  const BEATS_PER_BAR = 4;
  const HEADER_BYTES = 24;
  const TRAIL = 6; // earlier frames drawn fainter behind each dot
  const COLOURS = ["#f0b429", "#4dabf7", "#ff6b6b", "#69db7c", "#da77f2", "#3bc9db", "#ff922b", "#e9ecef"];
  const UNGROUPED = "#6c727c";
  const RATES = ["1/4", "1/3", "1/2", "2/3", "3/4", "1", "4/3", "3/2", "2", "3", "4"];
  const token = new URLSearchParams(location.search).get("token");
  const byId = (id) => document.getElementById(id);

  // What the tests and the benchmark read: the latest frame drawn and a few counts.
  const seen = { drawn: null, firstFrameDrawn: null, framesReceived: 0, framesDrawn: 0, states: [] };
  window.motiloomConsole = seen;

  let socket = null;
  let attempts = 0;
  let stopped = false; // the show said it stopped (rather than the connection failing)
  let clockTimer = 0;
  let state = null;
  let choices = null; // the show's lists of spreads and stop states
  let groupOf = new Int16Array(0); // each fixture's group index, -1 for none
  let latest = null; // the latest frame received
  let trail = []; // the frames drawn before it, newest first
  let drawScheduled = false;
  let nextId = 1;
  const waitingFor = new Map(); // reply id -> group name whose card shows the pending change
  let atOnce = false;

  function withToken(path) {
    return token ? `${path}?token=${encodeURIComponent(token)}` : path;
  }

  // --- the connection ----------------------------------------------------------------------

  function setLink(kind, text) {
    const link = byId("link");
    link.className = `link ${kind}`;
    link.textContent = text;
    const lost = byId("lost");
    lost.hidden = kind === "ok";
    if (kind !== "ok") lost.textContent = text;
    byId("controls").disabled = kind !== "ok";
    byId("tap").disabled = kind !== "ok" || !state || state.tempo.source !== "tap";
  }

  function send(message) {
    if (!socket || socket.readyState !== WebSocket.OPEN) return null;
    const id = nextId++;
    socket.send(JSON.stringify({ ...message, id }));
    return id;
  }

  function connect() {
    const url = new URL(withToken("/ws"), location.href);
    url.protocol = location.protocol === "https:" ? "wss:" : "ws:";
    const ws = new WebSocket(url);
    ws.binaryType = "arraybuffer";
    socket = ws;
    ws.addEventListener("open", () => {
      attempts = 0;
      stopped = false;
      setLink("ok", "Connected");
      ws.send(JSON.stringify({ type: "clock", t: performance.now() }));
      clockTimer = setInterval(() => {
        if (ws.readyState === WebSocket.OPEN) ws.send(JSON.stringify({ type: "clock", t: performance.now() }));
      }, 2000);
    });
    ws.addEventListener("message", (event) => {
      if (typeof event.data === "string") onText(JSON.parse(event.data));
      else onFrame(event.data);
    });
    ws.addEventListener("close", (event) => {
      clearInterval(clockTimer);
      if (socket !== ws) return;
      socket = null;
      attempts++;
      const wait = Math.min(4000, 250 * 2 ** Math.min(attempts, 4));
      // Said until the page is back: the attempts that fail meanwhile do not hide why.
      if (event.code === 1001) stopped = true;
      const why = stopped ? "The show has stopped" : "Connection to the show lost";
      setLink("bad", `${why}: reconnecting in ${(wait / 1000).toFixed(1)} s (attempt ${attempts})`);
      setTimeout(connect, wait);
    });
  }

  function onText(message) {
    if (message.type === "state") {
      choices = message.choices || choices;
      showState(message.state);
    } else if (message.type === "reply") {
      const line = byId("message");
      line.className = message.ok ? "note" : "note bad";
      line.textContent = message.ok ? message.text : `Refused: ${message.error}`;
      const group = waitingFor.get(message.id);
      waitingFor.delete(message.id);
      if (group !== undefined && message.ok && message.at !== undefined && !message.text.endsWith("at once")) {
        const card = cards.get(group);
        if (card) card.pendingBar = Math.floor(message.at / (PIPS_PER_BEAT * BEATS_PER_BAR)) + 1;
      }
    }
  }

  function onFrame(buffer) {
    const head = new DataView(buffer, 0, HEADER_BYTES);
    latest = {
      number: head.getUint32(0, true),
      sent: head.getUint32(4, true),
      late: head.getUint32(8, true),
      bpm: head.getFloat32(12, true),
      position: head.getFloat64(16, true),
      places: new Float32Array(buffer, HEADER_BYTES),
    };
    seen.framesReceived++;
    if (!drawScheduled) {
      drawScheduled = true;
      requestAnimationFrame(draw);
    }
  }

  // --- state: the readouts and the controls --------------------------------------------------

  const cards = new Map(); // group name -> its card's elements

  function showState(next) {
    state = next;
    // The latest states with the time each arrived (ms since the epoch), newest last.
    seen.states = [...seen.states.slice(-15), [performance.timeOrigin + performance.now(), next]];
    byId("source").textContent = `\u00b7 ${next.tempo.source}`;
    byId("tap").disabled = !socket || next.tempo.source !== "tap";
    byId("tap").title = next.tempo.source === "tap" ? "Tap the beat" : `The tempo comes from ${next.tempo.source}`;
    const fixtures = next.fixtures.map((f) => f.name);
    groupOf = new Int16Array(fixtures.length).fill(-1);
    const index = new Map(fixtures.map((name, i) => [name, i]));
    next.groups.forEach((group, g) => {
      for (const name of group.fixtures) groupOf[index.get(name)] = g;
    });
    if (!sameNames([...cards.keys()], next.groups.map((g) => g.name))) buildCards(next.groups);
    next.groups.forEach((group, g) => fillCard(cards.get(group.name), group, g));
    const master = byId("master");
    if (!busy(master)) master.value = String(next.master);
    byId("master-value").textContent = `\u00d7${Number(next.master).toFixed(2)}`;
    for (const button of byId("overrides").children) {
      button.classList.toggle("on", (button.dataset.state || null) === next.override);
    }
    const note = byId("override-note");
    note.hidden = next.override === null;
    note.textContent = next.override ? next.override.toUpperCase() : "";
    const bars = [...new Set(next.pending.map((at) => Math.floor(at / (PIPS_PER_BEAT * BEATS_PER_BAR)) + 1))];
    byId("waiting").textContent = bars.length ? `Waiting for bar ${bars.join(", ")}` : "";
    buildLegend(next);
  }

  function sameNames(a, b) {
    return a.length === b.length && a.every((name, i) => name === b[i]);
  }

  function busy(element) {
    return document.activeElement === element && element.type !== "button";
  }

  function colourOf(g) {
    return g < 0 ? UNGROUPED : COLOURS[g % COLOURS.length];
  }

  function buildLegend(next) {
    const legend = byId("legend");
    legend.textContent = "";
    next.groups.forEach((group, g) => {
      const item = document.createElement("li");
      item.style.setProperty("--swatch", colourOf(g));
      item.textContent = `${group.name} (${group.fixtures.length})`;
      legend.append(item);
    });
    const loose = groupOf.filter((g) => g < 0).length;
    if (loose) {
      const item = document.createElement("li");
      item.textContent = `in no group (${loose})`;
      legend.append(item);
    }
  }

  function options(select, values, current) {
    const wanted = values.includes(current) ? values : [...values, current];
    if (select.options.length !== wanted.length || [...select.options].some((o, i) => o.value !== wanted[i])) {
      select.textContent = "";
      for (const value of wanted) select.add(new Option(value, value));
    }
    if (!busy(select)) select.value = current;
  }

  function buildCards(groups) {
    const holder = byId("groups");
    holder.textContent = "";
    cards.clear();
    const template = byId("group-card");
    for (const group of groups) {
      const card = template.content.firstElementChild.cloneNode(true);
      card.dataset.group = group.name;
      const parts = {
        element: card,
        pattern: card.querySelector("button.pattern"),
        size: card.querySelector("input.size"),
        sizeValue: card.querySelector("input.size-value"),
        rate: card.querySelector("select.rate"),
        phase: card.querySelector("input.phase"),
        spread: card.querySelector("select.spread"),
        pending: card.querySelector(".pending"),
        pendingBar: null,
      };
      card.querySelector(".name").textContent = group.name;
      parts.pattern.addEventListener("click", () => openPicker(group.name));
      parts.size.addEventListener("input", () => {
        parts.sizeValue.value = parts.size.value;
        if (atOnce) throttled(`size ${group.name}`, () => change(group.name, { size: Number(parts.size.value) }));
      });
      parts.size.addEventListener("change", () => {
        if (!atOnce) change(group.name, { size: Number(parts.size.value) });
      });
      parts.sizeValue.addEventListener("change", () => change(group.name, { size: Number(parts.sizeValue.value) }));
      parts.rate.addEventListener("change", () => change(group.name, { rate: parts.rate.value }));
      parts.phase.addEventListener("change", () => change(group.name, { phase: Number(parts.phase.value) }));
      parts.spread.addEventListener("change", () => change(group.name, { spread: parts.spread.value }));
      cards.set(group.name, parts);
      holder.append(card);
    }
  }

  function fillCard(parts, group, g) {
    parts.element.style.setProperty("--swatch", colourOf(g));
    parts.element.querySelector(".count").textContent =
      `${group.fixtures.length} ${group.fixtures.length === 1 ? "fixture" : "fixtures"}`;
    parts.pattern.textContent = group.pattern;
    parts.pattern.dataset.pattern = group.pattern;
    if (!busy(parts.size)) parts.size.value = String(group.size);
    if (!busy(parts.sizeValue)) parts.sizeValue.value = String(group.size);
    options(parts.rate, RATES, group.rate);
    if (!busy(parts.phase)) parts.phase.value = String(group.phase);
    options(parts.spread, choices ? choices.spreads : [group.spread], group.spread);
  }

  function change(group, parts) {
    for (const [key, value] of Object.entries(parts)) {
      if (typeof value === "number" && !Number.isFinite(value)) return refuse(`${key} must be a number`);
    }
    const id = send({ type: "group", group, ...parts, now: atOnce });
    if (id !== null) waitingFor.set(id, group);
  }

  function refuse(text) {
    const line = byId("message");
    line.className = "note bad";
    line.textContent = `Refused: ${text}`;
  }

  // At most one message per control every 50 ms while a fader moves; the last value is sent.
  const timers = new Map();
  function throttled(key, action) {
    if (timers.has(key)) {
      timers.get(key).action = action;
      return;
    }
    action();
    const entry = { action: null };
    timers.set(key, entry);
    setTimeout(() => {
      timers.delete(key);
      if (entry.action) entry.action();
    }, 50);
  }

  // --- the preview: every fixture where the frames sent put it -------------------------------

  const canvas = byId("preview");
  let plotSize = 0;

  function fitPreview() {
    const top = byId("top").getBoundingClientRect().height;
    const room = Math.min(window.innerHeight - top - 70, window.innerWidth * 0.5);
    const size = Math.max(240, Math.floor(room));
    const ratio = window.devicePixelRatio || 1;
    plotSize = size;
    canvas.style.width = `${size}px`;
    canvas.style.height = `${size}px`;
    canvas.width = Math.round(size * ratio);
    canvas.height = Math.round(size * ratio);
    byId("legend").style.maxWidth = `${size}px`;
    drawNow();
  }

  function drawGrid(context, size) {
    const margin = 28;
    const half = (size - 2 * margin) / 2;
    const middle = size / 2;
    context.fillStyle = "#0b0c0f";
    context.fillRect(0, 0, size, size);
    context.lineWidth = 1;
    for (const step of [-1, -0.5, 0, 0.5, 1]) {
      context.strokeStyle = step === 0 ? "#3a404a" : "#22262d";
      context.beginPath();
      context.moveTo(middle + step * half, middle - half);
      context.lineTo(middle + step * half, middle + half);
      context.moveTo(middle - half, middle - step * half);
      context.lineTo(middle + half, middle - step * half);
      context.stroke();
    }
    context.fillStyle = "#8a9099";
    context.font = "12px system-ui, sans-serif";
    context.textAlign = "center";
    context.fillText("pan \u2192", middle, size - 8);
    context.save();
    context.translate(12, middle);
    context.rotate(-Math.PI / 2);
    context.fillText("tilt \u2192", 0, 0);
    context.restore();
    return { middle, half };
  }

  function drawNow() {
    const context = canvas.getContext("2d");
    const ratio = canvas.width / (plotSize || 1);
    context.setTransform(ratio, 0, 0, ratio, 0, 0);
    const { middle, half } = drawGrid(context, plotSize);
    if (!latest) return;
    const count = latest.places.length / 2;
    const radius = Math.max(3, Math.min(7, half / 36, (half * 2.2) / Math.sqrt(count + 1) / 2));
    const off = state && state.override === "blackout";
    // Older frames first, fainter and smaller, so a dot's way is readable in a still picture.
    trail.forEach((places, age) => {
      context.globalAlpha = 0.32 * (1 - (age + 1) / (TRAIL + 1));
      for (let i = 0; i < count; i++) {
        context.fillStyle = colourOf(groupOf[i] ?? -1);
        context.beginPath();
        context.arc(middle + places[2 * i] * half, middle - places[2 * i + 1] * half, radius * 0.6, 0, 2 * Math.PI);
        context.fill();
      }
    });
    context.globalAlpha = 1;
    context.lineWidth = 1.5;
    context.strokeStyle = "#0b0c0f";
    for (let i = 0; i < count; i++) {
      const x = middle + latest.places[2 * i] * half;
      const y = middle - latest.places[2 * i + 1] * half;
      context.beginPath();
      context.arc(x, y, radius, 0, 2 * Math.PI);
      if (off) {
        context.strokeStyle = colourOf(groupOf[i] ?? -1);
        context.stroke();
      } else {
        context.fillStyle = colourOf(groupOf[i] ?? -1);
        context.fill();
        context.stroke();
      }
    }
  }

  function draw() {
    drawScheduled = false;
    if (!latest) return;
    drawNow();
    trail = [latest.places, ...trail].slice(0, TRAIL);
    seen.drawn = { frame: latest.number, places: latest.places };
    seen.framesDrawn++;
    if (seen.firstFrameDrawn === null) seen.firstFrameDrawn = performance.now();
    const beats = Math.floor(latest.position / PIPS_PER_BEAT);
    const bar = Math.floor(beats / BEATS_PER_BAR) + 1;
    const beat = (((beats % BEATS_PER_BAR) + BEATS_PER_BAR) % BEATS_PER_BAR) + 1;
    // Text is written only when it changes: a page redrawn 44 times a second stays cheap.
    write(byId("bar"), `${bar}.${beat}`);
    [...byId("beats").children].forEach((light, i) => light.classList.toggle("on", i === beat - 1));
    write(byId("bpm"), latest.bpm.toFixed(1));
    write(byId("sent"), latest.sent.toLocaleString("en"));
    write(byId("late"), latest.late.toLocaleString("en"));
    for (const parts of cards.values()) {
      if (parts.pendingBar !== null && bar >= parts.pendingBar) parts.pendingBar = null;
      write(parts.pending, parts.pendingBar !== null ? `changes at bar ${parts.pendingBar}` : "");
    }
    if (picker.open && picker.chosen) drawChoice(picker.chosen);
  }

  function write(element, text) {
    if (element.textContent !== text) element.textContent = text;
  }

  // --- the pattern picker --------------------------------------------------------------------

  const picker = { open: false, group: null, entries: null, chosen: null, loading: null };

  // The gallery's form and reading of it (patterns.js).
  async function loadPatterns() {
    const response = await fetch(withToken("/catalogue"));
    if (!response.ok) throw new Error(`the patterns could not be loaded (${response.status})`);
    return motiloomPatterns.read(await response.json());
  }

  function buildChoices(entries) {
    const list = byId("choices");
    const fragment = document.createDocumentFragment();
    for (const entry of entries) {
      const item = document.createElement("li");
      const button = document.createElement("button");
      button.type = "button";
      button.setAttribute("role", "option");
      button.dataset.name = entry.name;
      const name = document.createElement("span");
      name.textContent = entry.name;
      const facts = document.createElement("span");
      const where = entry.pack === entry.family ? entry.pack : `${entry.pack} \u00b7 ${entry.family}`;
      facts.textContent = `${where} \u00b7 ${entry.dims}D \u00b7 ${entry.period / PIPS_PER_BEAT} beats`;
      button.append(name, facts);
      button.title = entry.description;
      button.addEventListener("click", () => choose(entry));
      button.addEventListener("dblclick", () => take(atOnce));
      item.append(button);
      entry.item = item;
      entry.button = button;
      fragment.append(item);
    }
    list.append(fragment);
    fill("f-pack", [...new Set(entries.map((e) => e.pack))]);
    fill("f-family", [...new Set(entries.map((e) => e.family))].sort());
  }

  function fill(id, values) {
    const select = byId(id);
    for (const value of values) select.add(new Option(value, value));
  }

  function applyFilters() {
    if (!picker.entries) return;
    const matches = motiloomPatterns.matcher(byId("f-name").value);
    const pack = byId("f-pack").value;
    const family = byId("f-family").value;
    const dims = byId("f-dims").value;
    let shown = 0;
    for (const entry of picker.entries) {
      const keep = matches(entry) && (!pack || entry.pack === pack) &&
        (!family || entry.family === family) && (!dims || String(entry.dims) === dims);
      entry.item.hidden = !keep;
      if (keep) shown++;
    }
    byId("f-count").textContent = `${shown} of ${picker.entries.length} patterns`;
  }

  async function openPicker(group) {
    picker.group = group;
    picker.open = true;
    byId("picker-group").textContent = group;
    const dialog = byId("picker");
    if (!dialog.open) dialog.showModal();
    try {
      if (!picker.entries) {
        picker.loading = picker.loading || loadPatterns();
        picker.entries = await picker.loading;
        buildChoices(picker.entries);
      }
    } catch (error) {
      picker.loading = null;
      byId("f-count").textContent = String(error.message || error);
      return;
    }
    const playing = state.groups.find((g) => g.name === group);
    for (const entry of picker.entries) entry.button.classList.toggle("current", entry.name === playing.pattern);
    applyFilters();
    const current = picker.entries.find((e) => e.name === playing.pattern);
    if (current) choose(current);
    byId("f-name").focus();
    document.body.dataset.pickerReady = "true";
  }

  function choose(entry) {
    if (picker.chosen) picker.chosen.button.setAttribute("aria-selected", "false");
    picker.chosen = entry;
    entry.button.setAttribute("aria-selected", "true");
    byId("choice-name").textContent = entry.name;
    const axes = entry.dims === 1 ? "1 axis" : `${entry.dims} axes`;
    byId("choice-meta").textContent =
      `${entry.pack} pack \u00b7 ${entry.family} \u00b7 ${axes} \u00b7 loops every ${entry.period / PIPS_PER_BEAT} beats`;
    byId("choice-description").textContent = entry.description;
    byId("take-bar").disabled = false;
    byId("take-now").disabled = false;
    drawChoice(entry);
  }

  // x across and y up (a single axis: the pip across and x up), as the gallery draws them.
  function placeOf(entry, pip, size) {
    const margin = size * 0.08;
    const span = size - 2 * margin;
    const x = valueAt(entry, 0, pip);
    if (entry.dims === 1) {
      const k = ((pip % entry.period) + entry.period) % entry.period;
      return [margin + (span * k) / entry.period, margin + (span * (1 - x)) / 2];
    }
    return [margin + (span * (x + 1)) / 2, margin + (span * (1 - valueAt(entry, 1, pip))) / 2];
  }

  function drawChoice(entry) {
    const path = byId("choice-path");
    const context = path.getContext("2d");
    const size = path.width;
    context.fillStyle = "#0b0c0f";
    context.fillRect(0, 0, size, size);
    context.strokeStyle = "#2c3038";
    context.beginPath();
    context.moveTo(size / 2, size * 0.08);
    context.lineTo(size / 2, size * 0.92);
    context.moveTo(size * 0.08, size / 2);
    context.lineTo(size * 0.92, size / 2);
    context.stroke();
    context.strokeStyle = "#dee2e6";
    context.lineWidth = 2;
    context.lineJoin = "round";
    context.beginPath();
    const steps = entry.dims === 1 ? entry.period - 1 : entry.period;
    for (let k = 0; k <= steps; k++) {
      const [u, v] = placeOf(entry, k, size);
      if (k === 0) context.moveTo(u, v);
      else context.lineTo(u, v);
    }
    context.stroke();
    // A dot where the group's rate and phase would put it at the show's current position.
    const group = state && state.groups.find((g) => g.name === picker.group);
    if (latest && group) {
      const [top, bottom] = group.rate.split("/").map(Number);
      const rate = top / (bottom || 1);
      const [u, v] = placeOf(entry, latest.position * rate + group.phase * PIPS_PER_BEAT, size);
      context.fillStyle = COLOURS[0];
      context.beginPath();
      context.arc(u, v, 7, 0, 2 * Math.PI);
      context.fill();
    }
  }

  function take(now) {
    if (!picker.chosen || !picker.group) return;
    const id = send({ type: "group", group: picker.group, pattern: picker.chosen.name, now });
    if (id !== null) waitingFor.set(id, picker.group);
    byId("picker").close();
  }

  // --- start ---------------------------------------------------------------------------------

  function main() {
    byId("tap").addEventListener("pointerdown", (event) => {
      event.preventDefault();
      send({ type: "tap", t: event.timeStamp || performance.now() });
    });
    byId("tap").addEventListener("keydown", (event) => {
      if (event.key === " " || event.key === "Enter") {
        event.preventDefault();
        send({ type: "tap", t: performance.now() });
      }
    });
    const master = byId("master");
    master.addEventListener("input", () => {
      byId("master-value").textContent = `\u00d7${Number(master.value).toFixed(2)}`;
      throttled("master", () => send({ type: "master", size: Number(master.value) }));
    });
    for (const button of byId("overrides").children) {
      button.addEventListener("click", () => send({ type: "override", state: button.dataset.state || null }));
    }
    for (const button of byId("timing").children) {
      button.addEventListener("click", () => {
        atOnce = button.dataset.now === "true";
        for (const other of byId("timing").children) other.classList.toggle("on", other === button);
      });
    }
    for (const id of ["f-name", "f-pack", "f-family", "f-dims"]) byId(id).addEventListener("input", applyFilters);
    byId("take-bar").addEventListener("click", () => take(false));
    byId("take-now").addEventListener("click", () => take(true));
    byId("picker").addEventListener("close", () => {
      picker.open = false;
      document.body.dataset.pickerReady = "false";
    });
    window.addEventListener("resize", fitPreview);
    fitPreview();
    connect();
    document.body.dataset.ready = "true";
  }

  main();
})();
