"use strict";
// The gallery's behaviour: read the tables (patterns.js), build one card per pattern, draw each card's path
// when it scrolls into view, move the dots of the visible cards at the chosen tempo, filter, and
// show one pattern in detail.
(() => {
  const MARGIN = 0.08;
  const SPAN = 1 - 2 * MARGIN;
  const COLOURS = ["#ff6b6b", "#51cf66", "#4dabf7"];
  const { valueAt } = motiloomPatterns;
  const meta = JSON.parse(document.getElementById("motiloom-data").textContent);
  const clock = { bpm: meta.bpm, playing: true, anchorPip: 0, anchorTime: performance.now() };
  const visible = new Set();
  let entries = [];
  let detail = null;

  function currentPip(now) {
    if (!clock.playing) return clock.anchorPip;
    return clock.anchorPip + ((now - clock.anchorTime) / 1000) * (clock.bpm / 60) * meta.pipsPerBeat;
  }

  function setClock(change) {
    const now = performance.now();
    clock.anchorPip = currentPip(now);
    clock.anchorTime = now;
    change();
  }

  // Where a pattern's point sits in a plot, as fractions of its width and height: x across and
  // y up for two or three axes; for one axis, the pip across and x up.
  function place(entry, pip) {
    const x = valueAt(entry, 0, pip);
    if (entry.dims === 1) {
      const k = ((pip % entry.period) + entry.period) % entry.period;
      return [MARGIN + (SPAN * k) / entry.period, MARGIN + (SPAN * (1 - x)) / 2, 1];
    }
    const y = valueAt(entry, 1, pip);
    const z = entry.dims === 3 ? valueAt(entry, 2, pip) : 0;
    return [MARGIN + (SPAN * (x + 1)) / 2, MARGIN + (SPAN * (1 - y)) / 2, 1 + 0.5 * z];
  }

  function moveDot(dot, entry, pip) {
    const [u, v, scale] = place(entry, pip);
    dot.style.transform = `translate(${(u * 100).toFixed(2)}%, ${(v * 100).toFixed(2)}%)`;
    dot.style.setProperty("--scale", scale.toFixed(3));
  }

  function drawPath(canvas, entry, lineWidth) {
    const context = canvas.getContext("2d");
    const { width, height } = canvas;
    context.clearRect(0, 0, width, height);
    context.strokeStyle = "#2c3038";
    context.lineWidth = 1;
    context.beginPath();
    context.moveTo(width / 2, height * MARGIN);
    context.lineTo(width / 2, height * (1 - MARGIN));
    context.moveTo(width * MARGIN, height / 2);
    context.lineTo(width * (1 - MARGIN), height / 2);
    context.stroke();
    context.strokeStyle = entry.dims === 3 ? "#a5d8ff" : "#dee2e6";
    context.lineWidth = lineWidth;
    context.lineJoin = "round";
    context.beginPath();
    const steps = entry.dims === 1 ? entry.period - 1 : entry.period;
    for (let k = 0; k <= steps; k++) {
      const [u, v] = place(entry, k);
      if (k === 0) context.moveTo(u * width, v * height);
      else context.lineTo(u * width, v * height);
    }
    context.stroke();
  }

  function drawTimePlot(canvas, entry) {
    const context = canvas.getContext("2d");
    const { width, height } = canvas;
    const across = (k) => MARGIN * width + (SPAN * width * k) / entry.period;
    const up = (value) => MARGIN * height + (SPAN * height * (1 - value)) / 2;
    context.clearRect(0, 0, width, height);
    context.strokeStyle = "#2c3038";
    context.lineWidth = 1;
    context.beginPath();
    for (const level of [-1, 0, 1]) {
      context.moveTo(across(0), up(level));
      context.lineTo(across(entry.period), up(level));
    }
    for (let beat = 0; beat <= entry.period; beat += meta.pipsPerBeat) {
      context.moveTo(across(beat), up(1));
      context.lineTo(across(beat), up(-1));
    }
    context.stroke();
    context.lineWidth = 1.5;
    for (let axis = entry.dims - 1; axis >= 0; axis--) {
      context.strokeStyle = COLOURS[axis];
      context.beginPath();
      for (let k = 0; k <= entry.period; k++) {
        const value = entry.axes[axis][k % entry.period];
        if (k === 0) context.moveTo(across(k), up(value));
        else context.lineTo(across(k), up(value));
      }
      context.stroke();
    }
  }

  function card(entry) {
    const element = document.createElement("article");
    element.className = "card";
    element.tabIndex = 0;
    element.dataset.name = entry.name;
    element.dataset.pack = entry.pack;
    element.dataset.family = entry.family;
    element.dataset.dims = String(entry.dims);
    const plot = document.createElement("div");
    plot.className = "plot";
    const canvas = document.createElement("canvas");
    canvas.width = 160;
    canvas.height = 160;
    const dot = document.createElement("span");
    dot.className = "dot";
    plot.append(canvas, dot);
    const title = document.createElement("h3");
    // A line may break after an underscore, and only there while the parts fit.
    entry.name.split(/(?<=_)/).forEach((part, index) => {
      if (index) title.append(document.createElement("wbr"));
      title.append(part);
    });
    const line = document.createElement("p");
    const group = entry.pack === entry.family ? entry.pack : `${entry.pack} \u00b7 ${entry.family}`;
    line.textContent = `${group} \u00b7 ${entry.period} pips \u00b7 ${entry.dims}D`;
    element.append(plot, title, line);
    element.title = entry.description;
    Object.assign(entry, { element, canvas, dot });
    element.addEventListener("click", () => openDetail(entry));
    element.addEventListener("keydown", (event) => {
      if (event.key === "Enter") openDetail(entry);
    });
    return element;
  }

  function openDetail(entry) {
    detail = entry;
    document.getElementById("d-name").textContent = entry.name;
    document.getElementById("d-meta").textContent =
      `${entry.pack} pack \u00b7 ${entry.family} family \u00b7 loops every ${entry.period} pips ` +
      `(${entry.period / meta.pipsPerBeat} beats) \u00b7 ${entry.dims} ${entry.dims === 1 ? "axis" : "axes"}`;
    document.getElementById("d-description").textContent = entry.description;
    drawPath(document.getElementById("d-path"), entry, 2);
    drawTimePlot(document.getElementById("d-time"), entry);
    for (const [axis, name] of ["lx", "ly", "lz"].entries()) {
      document.querySelector(`#detail .${name}`).hidden = axis >= entry.dims;
    }
    const dialog = document.getElementById("detail");
    if (!dialog.open) dialog.showModal();
    history.replaceState(null, "", `#${entry.name}`);
  }

  function fillChoices(id, values) {
    const select = document.getElementById(id);
    for (const value of values) select.add(new Option(value, value));
  }

  function applyFilters() {
    const matches = motiloomPatterns.matcher(document.getElementById("f-name").value);
    const pack = document.getElementById("f-pack").value;
    const family = document.getElementById("f-family").value;
    const dims = document.getElementById("f-dims").value;
    let shown = 0;
    for (const entry of entries) {
      const keep =
        matches(entry) &&
        (!pack || entry.pack === pack) &&
        (!family || entry.family === family) &&
        (!dims || String(entry.dims) === dims);
      entry.element.hidden = !keep;
      if (keep) shown++;
    }
    document.getElementById("count").textContent = `${shown} of ${entries.length} patterns`;
    document.getElementById("none").hidden = shown > 0;
  }

  // The pattern a location hash names (#name), or undefined.
  function linkedEntry() {
    let name = location.hash.slice(1);
    try {
      name = decodeURIComponent(name);
    } catch {
      return undefined;
    }
    return entries.find((e) => e.name === name);
  }

  function animate(now) {
    const pip = currentPip(now);
    for (const entry of visible) moveDot(entry.dot, entry, pip);
    if (detail) {
      moveDot(document.querySelector("#detail .plot.big .dot"), detail, pip);
      const k = ((pip % detail.period) + detail.period) % detail.period;
      const across = MARGIN + (SPAN * k) / detail.period;
      document.querySelector("#detail .cursor").style.transform = `translateX(${(across * 100).toFixed(2)}%)`;
    }
    requestAnimationFrame(animate);
  }

  async function main() {
    entries = await motiloomPatterns.read(meta);
    const grid = document.getElementById("grid");
    const watcher = new IntersectionObserver((changes) => {
      for (const change of changes) {
        const entry = entries[Number(change.target.dataset.index)];
        if (change.isIntersecting) {
          if (!entry.drawn) {
            drawPath(entry.canvas, entry, 1.25);
            entry.drawn = true;
          }
          visible.add(entry);
        } else {
          visible.delete(entry);
        }
      }
    });
    const fragment = document.createDocumentFragment();
    for (const entry of entries) {
      const element = card(entry);
      element.dataset.index = String(entry.index);
      fragment.append(element);
    }
    grid.append(fragment);
    for (const entry of entries) watcher.observe(entry.element);
    fillChoices("f-pack", [...new Set(entries.map((e) => e.pack))]);
    fillChoices("f-family", [...new Set(entries.map((e) => e.family))].sort());
    const bpm = document.getElementById("f-bpm");
    bpm.value = String(clock.bpm);
    bpm.addEventListener("change", () => {
      const value = Number(bpm.value);
      if (value > 0 && Number.isFinite(value)) setClock(() => (clock.bpm = value));
      else bpm.value = String(clock.bpm);
    });
    const play = document.getElementById("f-play");
    play.addEventListener("click", () => {
      setClock(() => (clock.playing = !clock.playing));
      play.textContent = clock.playing ? "Pause" : "Play";
    });
    for (const id of ["f-name", "f-pack", "f-family", "f-dims"]) {
      document.getElementById(id).addEventListener("input", applyFilters);
    }
    document.getElementById("filters").addEventListener("submit", (event) => event.preventDefault());
    document.getElementById("detail").addEventListener("close", () => {
      detail = null;
      history.replaceState(null, "", location.pathname);
    });
    applyFilters();
    const linked = linkedEntry();
    if (linked) openDetail(linked);
    // A hash changed while the page is open (a link, the address bar, back and forward) opens
    // the pattern it names; one that names none closes the detail view.
    window.addEventListener("hashchange", () => {
      const named = linkedEntry();
      if (named) openDetail(named);
      else if (detail) document.getElementById("detail").close();
    });
    requestAnimationFrame(animate);
    document.body.dataset.ready = "true";
  }

  main().catch((error) => {
    const message = document.createElement("p");
    message.id = "error";
    message.textContent = `The gallery could not start: ${error}`;
    document.body.prepend(message);
    console.error(error);
  });
})();
