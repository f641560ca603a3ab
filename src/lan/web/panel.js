"use strict";
// The card's front panel in a browser: the fields made from the settings the
// server lists, the card's state as the server pushes it, changes sent
// through the server once signed in. Nothing is fetched from elsewhere.
const GROUPS = { Wave: "Waveform and frequency", Trigger: "Trigger", Clock: "Clock",
                 Atten: "Attenuation", Offset: "Offset" };
const MULTIPLIERS = { p: 1e-12, n: 1e-9, u: 1e-6, "µ": 1e-6, m: 1e-3, k: 1e3, M: 1e6, G: 1e9 };
let settings = [], state = null, token = "", user = null;
const fields = {}; // "channel/key" -> { input, setting, mark, note }

function $(id) { return document.getElementById(id); }

// "10.5k" -> 10500; null when it is no number.
function parseValue(text) {
  const m = /^\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)\s*([pnuµmkMG]?)\s*$/.exec(text);
  return m ? parseFloat(m[1]) * (m[2] ? MULTIPLIERS[m[2]] : 1) : null;
}

// Why a value cannot be sent, as the window says it; "" when it can.
function problem(s, value) {
  if (value === null) return `${s.description || s.name}: not a number.`;
  if (value < s.minimum || value > s.maximum)
    return `${s.description || s.name} must be from ${s.minimum} to ${s.maximum}: ${value} is not.`;
  return "";
}

function groupOf(s) {
  if (s.name === "Attenuation") return "Atten";
  if (s.name === "DCOffset") return "Offset";
  return s.group;
}

function makeField(channel, s, box) {
  const label = document.createElement("label");
  label.className = "field";
  const name = document.createElement("span");
  name.textContent = (s.description || s.name).replace(/ in [^ ]+$/, "");
  let input;
  if (s.words) {
    input = document.createElement("select");
    s.words.forEach((w, i) => input.add(new Option(w, String(i))));
  } else {
    input = document.createElement("input");
    input.inputMode = "decimal";
    input.title = `${s.minimum} to ${s.maximum} ${s.unit}, in steps of ${s.resolution}; 10.5k is 10500`;
  }
  input.id = `c${channel}-${s.key.replace(/^_/, "").replace(/\W/g, "-")}`;
  input.name = s.key;
  const unit = document.createElement("span");
  unit.textContent = s.unit;
  label.append(name, input, unit);
  const note = document.createElement("div");
  note.className = "note";
  box.append(label, note);
  const field = { input, setting: s, mark: name, note, channel };
  input.addEventListener("input", () => markField(field));
  input.addEventListener("change", () => markField(field));
  fields[`${channel}/${s.key}`] = field;
}

function cardValue(field) {
  const ch = state && state.channel[field.channel - 1];
  return ch ? ch.values[field.setting.key] : undefined;
}

function shownValue(field) {
  return field.setting.words ? Number(field.input.value) : parseValue(field.input.value);
}

function markField(field) {
  const unsent = shownValue(field) !== cardValue(field);
  field.input.classList.toggle("unsent", unsent);
  field.mark.classList.toggle("unsent-mark", unsent);
  field.unsent = unsent;
}

function build() {
  const main = $("channels");
  main.textContent = "";
  for (let c = 1; c <= settingsChannels; c++) {
    const box = document.createElement("fieldset");
    box.className = "channel";
    box.innerHTML = `<legend>Channel ${c}</legend><p class="strip" id="strip${c}" role="status"></p>`;
    const groups = document.createElement("div");
    groups.className = "groups";
    const made = {};
    for (const s of settings) {
      const g = groupOf(s);
      if (!made[g]) {
        made[g] = document.createElement("fieldset");
        made[g].innerHTML = `<legend>${GROUPS[g] || g}</legend>`;
        groups.append(made[g]);
      }
      makeField(c, s, made[g]);
    }
    groups.append(waveBox(c));
    const send = document.createElement("button");
    send.type = "button";
    send.id = `update${c}`;
    send.textContent = `Update channel ${c}`;
    send.addEventListener("click", () => update(c));
    const message = document.createElement("p");
    message.id = `message${c}`;
    message.className = "message";
    message.setAttribute("role", "status");
    box.append(groups, send, message);
    main.append(box);
  }
}

let settingsChannels = 0;
const MAX_WAVE_FILE = 8 * 1024 * 1024;

// Arbitrary waveform: a file (text, a sample in percent a line; a column of
// a CSV or TSV file; a channel of a sound file) drawn before it is loaded,
// loaded into the channel, what the channel holds drawn, its samples to
// download.
function waveBox(c) {
  const box = document.createElement("fieldset");
  const lengths = ["<option value=\"0\">As the file gives</option>"];
  for (let n = 2; n <= 262144; n *= 2) lengths.push(`<option value="${n}">${n}</option>`);
  box.className = "wave";
  box.innerHTML = `<legend>Arbitrary waveform</legend>
    <label>File <input type="file" id="wave${c}" accept=".txt,.csv,.tsv,.wav,text/plain,text/csv,audio/wav"></label>
    <label>Read as <select id="format${c}">
      <option value="text">Text, % a line</option>
      <option value="csv">CSV or TSV, a column</option>
      <option value="wav">Sound, a channel</option></select></label>
    <label>Column or channel <input type="number" id="pick${c}" min="1" step="1" value="1"></label>
    <label>Samples <select id="length${c}">${lengths.join("")}</select></label>
    <label>Scale <select id="scale${c}">
      <option value="percent">As they are, 0–100 %</option>
      <option value="normalise">Normalise to 0–100 %</option></select></label>
    <button type="button" id="previewwave${c}">Preview</button>
    <button type="button" id="loadwave${c}">Load into channel ${c}</button>
    <a id="download${c}" href="/api/wave/${c}" download="channel${c}.txt">Download channel ${c}'s samples</a>
    <canvas id="preview${c}" width="300" height="80" role="img" aria-label="Channel ${c}'s waveform"></canvas>
    <p class="message" id="wavemessage${c}" role="status"></p>`;
  // A table or a sound is usually scaled; a text file is in percent already.
  box.querySelector(`#wave${c}`).addEventListener("change", () => {
    const file = $(`wave${c}`).files[0];
    if (!file) return;
    const name = file.name.toLowerCase();
    const format = name.endsWith(".wav") ? "wav" : /\.(csv|tsv)$/.test(name) ? "csv" : "text";
    $(`format${c}`).value = format;
    $(`scale${c}`).value = format === "text" ? "percent" : "normalise";
  });
  box.querySelector(`#previewwave${c}`).addEventListener("click", () => sendWave(c, true));
  box.querySelector(`#loadwave${c}`).addEventListener("click", () => sendWave(c, false));
  return box;
}

async function sendWave(c, preview) {
  const file = $(`wave${c}`).files[0], message = $(`wavemessage${c}`);
  if (!file) { message.textContent = "Choose a file first."; return; }
  if (file.size > MAX_WAVE_FILE) {
    message.textContent = `The file is larger than ${MAX_WAVE_FILE / 1048576} MB: nothing was sent.`;
    return;
  }
  const query = new URLSearchParams({ format: $(`format${c}`).value, pick: $(`pick${c}`).value,
    length: $(`length${c}`).value, scale: $(`scale${c}`).value });
  const r = await fetch(`/api/wave/${c}${preview ? "/preview" : ""}?${query}`, { method: "POST",
    credentials: "same-origin",
    headers: { "Content-Type": "application/octet-stream", "X-CSRF-Token": token }, body: file });
  const body = await r.json();
  const errors = body.errors && body.errors.length ? body.errors : (body.error ? [body.error] : []);
  message.classList.toggle("error", errors.length > 0);
  if (errors.length) { message.textContent = `Refused: ${errors.join(" ")}`; return; }
  const range = `from ${body.minimum.toFixed(2)} to ${body.maximum.toFixed(2)} %`;
  if (preview) {
    message.textContent = `Preview, not loaded: ${body.samples} samples ${range} (${body.source}).`;
    draw(c, body.points);
  } else {
    message.textContent = `Loaded ${body.samples} samples ${range} into channel ${c}.`;
    drawWave(c);
  }
}

async function drawWave(c) {
  const text = await (await fetch(`/api/wave/${c}`)).text();
  draw(c, text.split("\n").map(l => l.trim()).filter(l => l && !l.startsWith("!"))
    .map(l => Number(l.replace(",", "."))));
}

function draw(c, values) {
  const canvas = $(`preview${c}`), g = canvas.getContext("2d");
  g.clearRect(0, 0, canvas.width, canvas.height);
  g.beginPath();
  values.forEach((v, i) => {
    const x = i * canvas.width / Math.max(values.length - 1, 1);
    const y = canvas.height - v * canvas.height / 100;
    if (i) g.lineTo(x, y); else g.moveTo(x, y);
  });
  g.stroke();
}

function show(next) {
  const before = state;
  state = next;
  $("card").textContent = next.card ? `Front panel: ${next.card}` : "Front panel: no card";
  $("remote").textContent = next.remote;
  const locked = next.lockedBy !== "";
  for (const ch of next.channel) {
    const strip = $(`strip${ch.channel}`);
    if (!strip) continue;
    strip.textContent = ch.strip;
    strip.title = ch.sentence;
    strip.classList.toggle("on", ch.on);
    strip.classList.toggle("off", ch.off);
    $(`update${ch.channel}`).disabled = !user || locked;
    // Drawing a file changes nothing, but reads it on the server: signed-in users only.
    for (const [id, off] of [["loadwave", !user || locked], ["previewwave", !user]]) {
      const button = $(`${id}${ch.channel}`);
      if (button) button.disabled = off;
    }
  }
  for (const field of Object.values(fields)) {
    const value = cardValue(field);
    const old = before && before.channel[field.channel - 1].values[field.setting.key];
    field.input.disabled = !user || locked;
    if (field.unsent && before && value !== old) {
      field.note.textContent = `Changed elsewhere to ${value} ${field.setting.unit}` +
        (next.who ? ` by ${next.who}` : "") + "; your edit is kept.";
    } else if (!field.unsent) {
      field.input.value = field.setting.words ? String(value) : String(value);
      field.note.textContent = "";
    }
    markField(field);
  }
  if (locked) $("link").textContent = `Locked by ${next.lockedBy}: the controls wait.`;
}

function signedIn(name, newToken) {
  user = name;
  token = newToken || "";
  $("login").hidden = !!user;
  $("signed").hidden = !user;
  $("who").textContent = user || "";
  if (state) show(state);
}

async function post(path, body) {
  const r = await fetch(path, { method: "POST", credentials: "same-origin",
    headers: { "Content-Type": "application/json", "X-CSRF-Token": token },
    body: JSON.stringify(body) });
  return { status: r.status, body: await r.json() };
}

async function update(channel) {
  const values = {}, problems = [];
  for (const field of Object.values(fields)) {
    if (field.channel !== channel || !field.unsent) continue;
    const value = shownValue(field);
    const why = problem(field.setting, value);
    if (why) problems.push(why); else values[field.setting.key] = value;
  }
  const message = $(`message${channel}`);
  message.classList.toggle("error", problems.length > 0);
  if (problems.length) { message.textContent = problems.join(" "); return; }
  if (!Object.keys(values).length) { message.textContent = "Nothing to send."; return; }
  const r = await post("/api/send", { channel, values });
  const errors = r.body.errors || (r.body.error ? [r.body.error] : []);
  message.classList.toggle("error", errors.length > 0);
  message.textContent = errors.length ? `Refused: ${errors.join(" ")}` : "Sent.";
  if (!errors.length) for (const f of Object.values(fields))
    if (f.channel === channel) { f.unsent = false; f.note.textContent = ""; }
}

function listen() {
  const events = new EventSource("/api/events");
  events.addEventListener("state", e => {
    const next = JSON.parse(e.data);
    if ("user" in next && next.user !== user && next.token !== undefined)
      signedIn(next.user, next.token);
    $("link").textContent = "Live";
    show(next);
  });
  events.onerror = () => { $("link").textContent = "Connection lost: reconnecting…"; };
}

async function start() {
  const described = await (await fetch("/api/settings")).json();
  settings = described.settings;
  settingsChannels = described.channels;
  build();
  $("login").addEventListener("submit", async e => {
    e.preventDefault();
    const r = await post("/api/login", { user: $("user").value, password: $("password").value });
    $("password").value = "";
    $("signin-message").textContent = r.body.error || "";
    if (r.status === 200) signedIn(r.body.user, r.body.token);
  });
  $("signout").addEventListener("click", async () => {
    await post("/api/logout", {});
    signedIn(null, "");
  });
  $("identify").addEventListener("click", async () => {
    const r = await post("/api/identify", {});
    $("link").textContent = r.status === 200 ? "Identify asked: the panel flashes." : r.body.error;
  });
  signedIn(null, "");
  listen();
}

document.addEventListener("DOMContentLoaded", start);
