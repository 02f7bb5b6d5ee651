// The page of `korvane serve`: renders the modules' form models and drives them through the
// JSON API (docs/web.md). Every text that comes from the server is put in as text, never as
// markup.
"use strict";

const TWIP = 15; // twips per CSS pixel
const state = {
  tabs: [],       // {handle, progid, classname, interfaces, page, form, snapshot, caption}
  active: null,
  menu: [],
  dialogs: new Map(), // "handle/form" -> {dialog, handle, form}
  boxes: new Map(),   // box id -> dialog
  seq: 0,
  queue: Promise.resolve(),
  pending: 0,
};

// --- Building elements ------------------------------------------------------------------------

function el(tag, props, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props || {})) {
    if (value === undefined || value === null) continue;
    if (key === "class") node.className = value;
    else if (key === "style") Object.assign(node.style, value);
    else if (key === "text") node.textContent = String(value);
    else if (key.startsWith("on")) node.addEventListener(key.slice(2), value);
    else if (key in node) node[key] = value;
    else node.setAttribute(key, value);
  }
  for (const child of children) {
    if (child === null || child === undefined || child === false) continue;
    node.append(typeof child === "string" ? document.createTextNode(child) : child);
  }
  return node;
}

const px = (twips) => `${Math.round((Number(twips) || 0) / TWIP)}px`;

// --- The server --------------------------------------------------------------------------------

async function request(method, path, body) {
  state.pending++;
  document.body.classList.add("working");
  try {
    const res = await fetch(path, {
      method,
      credentials: "same-origin",
      headers: body === undefined ? {} : { "Content-Type": "application/json" },
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    let answer;
    try {
      answer = await res.json();
    } catch {
      answer = { ok: false, error: `HTTP ${res.status}` };
    }
    if (!answer.ok) showStatus(answer.error || `HTTP ${res.status}`, "error");
    return answer;
  } catch (error) {
    showStatus(`服务器无法连接: ${error.message}`, "error");
    return { ok: false, error: String(error) };
  } finally {
    if (--state.pending === 0) document.body.classList.remove("working");
  }
}

// Module work runs one request at a time, in the order the person did it. Answers to boxes go
// around the queue: the request waiting for the box is what they unblock.
function perform(work) {
  const next = state.queue.then(work, work);
  state.queue = next.catch(() => {});
  return next;
}

const api = {
  post: (path, body) => request("POST", path, body || {}),
  get: (path) => request("GET", path),
};

// --- Status line -----------------------------------------------------------------------------

function showStatus(text, kind) {
  const status = document.getElementById("status");
  status.className = kind || "";
  document.getElementById("status-text").textContent = text || "";
}

function onModuleEvent(e) {
  switch (e.event) {
    case "Message":
      showStatus(e.text, "");
      break;
    case "ErrMessage":
      showStatus(e.title ? `${e.title}: ${e.text}` : e.text, e.level >= 8 ? "error" : "warning");
      break;
    case "FormShown":
      openDialogForm(e.module, e.form, e.caption);
      break;
    case "FormClosed":
      closeDialogForm(e.module, e.form);
      break;
    case "Detaile":
      openDetail(e.program_id, e.id);
      break;
    default:
      break;
  }
}

// --- Session and events -----------------------------------------------------------------------

async function start() {
  const started = await api.post("/api/session");
  if (!started.ok) return;
  const host = started.host || {};
  document.getElementById("title").textContent = host.title || "Korvane";
  document.getElementById("who").textContent = `${host.user || ""}  ${host.date || ""}`;
  listen();
  const menu = await api.get("/api/menu");
  if (!menu.ok) return;
  buildMenu(menu.result);
  // "#2101" (or "#2101,3101") opens those programs at once, as links and bookmarks name them.
  for (const part of location.hash.slice(1).split(",")) {
    const entry = state.menu.find((e) => e.progid === Number(part) && e.registered);
    if (entry) openModule(entry, 0);
  }
}

function listen() {
  const source = new EventSource("/api/events");
  source.addEventListener("event", (m) => onModuleEvent(JSON.parse(m.data)));
  source.addEventListener("box", (m) => showBox(JSON.parse(m.data)));
  source.addEventListener("box_answered", (m) => {
    const { id } = JSON.parse(m.data);
    const dialog = state.boxes.get(id);
    if (dialog) {
      state.boxes.delete(id);
      dialog.close();
      dialog.remove();
    }
  });
  source.addEventListener("ended", () => {
    source.close();
    showStatus("会话已结束，请刷新页面", "error");
  });
}

// --- Menu ----------------------------------------------------------------------------------

function buildMenu(entries) {
  state.menu = entries;
  const nav = document.getElementById("menu");
  nav.replaceChildren();
  const folders = entries.filter((e) => e.parent === 0);
  for (const folder of folders) {
    const items = el("div", { class: "menu-items" });
    for (const entry of entries.filter((e) => e.parent === folder.progid)) {
      items.append(el("button", {
        text: entry.name,
        disabled: !entry.registered,
        title: entry.registered ? entry.classname : "此程序不在本系统中",
        onclick: () => {
          wrap.classList.remove("open");
          openModule(entry, 0);
        },
      }));
    }
    const wrap = el("div", { class: "menu-folder" },
      el("button", { text: folder.name, onclick: () => wrap.classList.toggle("open") }), items);
    nav.append(wrap);
  }
  document.addEventListener("click", (e) => {
    for (const open of nav.querySelectorAll(".menu-folder.open")) {
      if (!open.contains(e.target)) open.classList.remove("open");
    }
  });
}

function openDetail(programId, id) {
  const entry = state.menu.find((e) => e.progid === programId && e.registered);
  if (entry) openModule(entry, id);
}

// --- Tabs and modules --------------------------------------------------------------------------

function openModule(entry, documentId) {
  return perform(async () => {
    const handle = `m${++state.seq}`;
    const opened = await api.post("/api/open", { progid: entry.classname, as: handle });
    if (!opened.ok) return;
    const interfaces = opened.result.interfaces;
    const tab = {
      handle, progid: entry.progid, classname: entry.classname, interfaces,
      caption: entry.name, snapshot: null,
    };
    const has = (name) => interfaces.includes(name);
    let args = [entry.progid];
    if (has("IFormUI")) args = [entry.progid, documentId || 0];
    else if (has("IPickerUI")) args = [entry.progid, ""];
    else if (has("IToolUI")) args = [];
    await call(tab, "Init", args);
    if (has("IFormUI") || has("IReportUI") || has("IPickerUI")) {
      await call(tab, "DoGetFormStatus");
      await call(tab, "Refresh");
    }
    addTab(tab);
    await refresh(tab);
  });
}

async function call(tab, member, args) {
  const answer = await api.post("/api/call", { module: tab.handle, member, args: args || [] });
  return answer;
}

function addTab(tab) {
  tab.label = el("span", { text: tab.caption });
  tab.tabEl = el("div", { class: "tab", role: "tab", onclick: () => activate(tab) },
    tab.label,
    el("button", { class: "close", text: "×", title: "关闭", onclick: (e) => {
      e.stopPropagation();
      closeTab(tab);
    } }));
  document.getElementById("tabs").append(tab.tabEl);
  tab.formEl = el("div", { class: "form" });
  tab.page = el("section", { class: "page" }, toolbar(tab), tab.formEl);
  document.getElementById("pages").append(tab.page);
  state.tabs.push(tab);
  activate(tab);
}

function activate(tab) {
  state.active = tab;
  for (const t of state.tabs) {
    t.tabEl.classList.toggle("active", t === tab);
    t.page.classList.toggle("active", t === tab);
  }
}

function closeTab(tab) {
  return perform(async () => {
    const has = (name) => tab.interfaces.includes(name);
    if (has("IFormUI") || has("IReportUI") || has("IPickerUI")) await call(tab, "DoSaveFormStatus");
    await api.post("/api/close", { module: tab.handle });
    for (const [key, d] of state.dialogs) {
      if (d.handle === tab.handle) closeDialogForm(d.handle, d.form, key);
    }
    tab.tabEl.remove();
    tab.page.remove();
    state.tabs = state.tabs.filter((t) => t !== tab);
    if (state.active === tab) {
      if (state.tabs.length) activate(state.tabs[state.tabs.length - 1]);
      else state.active = null;
    }
  });
}

// Shows the module's form, and every dialog form of the module, as they are now.
async function refresh(tab) {
  const snap = await api.post("/api/snapshot", { module: tab.handle });
  if (snap.ok) {
    tab.snapshot = snap.result;
    if (snap.result.caption) {
      tab.caption = snap.result.caption;
      tab.label.textContent = tab.caption;
    }
    document.body.classList.toggle("busy", !!snap.result.busy);
    renderForm(tab.formEl, snap.result, { module: tab.handle });
  }
  for (const d of state.dialogs.values()) {
    if (d.handle !== tab.handle) continue;
    const shown = await api.post("/api/snapshot", { module: d.handle, form: d.form });
    if (shown.ok) renderForm(d.formEl, shown.result, { module: d.handle, form: d.form });
  }
}

function tabOf(handle) {
  return state.tabs.find((t) => t.handle === handle);
}

// --- The toolbar -------------------------------------------------------------------------------

function toolbar(tab) {
  const has = (name) => tab.interfaces.includes(name);
  const bar = el("div", { class: "toolbar" });
  const add = (text, run) => bar.append(el("button", { text, onclick: () => perform(async () => {
    await run();
    await refresh(tab);
  }) }));
  const sep = () => bar.append(el("span", { class: "sep" }));
  const member = (name) => () => call(tab, name);
  if (has("IFormUI")) {
    add("新建", member("FileNew"));
    add("修改", member("FileEdit"));
    add("保存", member("FileSave"));
    add("取消", member("FileCancel"));
    add("删除", member("FileDelete"));
    sep();
    add("审核", () => api.post("/api/approve", { module: tab.handle }));
    add("弃审", () => api.post("/api/withdraw", { module: tab.handle }));
    add("已审核", () => call(tab, "DoSetStatus", ["", true]));
    add("未审核", () => call(tab, "DoSetStatus", ["", false]));
    sep();
  }
  if (has("IFormUI") || has("IReportUI")) {
    add("查找", async () => {
      const conditions = await askConditions("查找");
      if (conditions) await call(tab, "Find", [conditions]);
    });
    add("查找下一个", member("FindNext"));
    add("过滤", async () => {
      const conditions = await askConditions("过滤");
      if (conditions) await call(tab, "Filter", [conditions]);
    });
  }
  if (has("IFormUI") || has("IReportUI") || has("IPickerUI")) add("刷新", member("Refresh"));
  if (has("IFormUI") || has("IReportUI")) {
    sep();
    add("首张", member("RecordTop"));
    add("上张", member("RecordPrevious"));
    add("下张", member("RecordNext"));
    add("末张", member("RecordBottom"));
    sep();
    add("打印预览", async () => {
      const done = await call(tab, "PrintPreview");
      if (done.ok && done.result === true) {
        const file = await api.post("/api/print", { module: tab.handle });
        if (file.ok) showPrint(tab.caption, file.result);
      }
    });
  }
  return bar;
}

// Find and filter conditions: each a field with its comparison ("报工单编号 like") and a value.
function askConditions(title) {
  return new Promise((resolve) => {
    const body = el("tbody");
    const addRow = () => body.append(el("tr", {},
      el("td", {}, el("input", { type: "text", placeholder: "字段 与 比较符，如 报工单编号 like" })),
      el("td", {}, el("input", { type: "text", placeholder: "值" }))));
    addRow();
    const dialog = modal(title, [el("table", { class: "conditions" }, body),
      el("button", { text: "添加条件", onclick: addRow })], ["确定", "取消"], (choice) => {
      if (choice !== "确定") return resolve(null);
      const out = [];
      for (const tr of body.rows) {
        const [field, value] = [...tr.querySelectorAll("input")].map((i) => i.value);
        if (field.trim()) out.push(["1", ` ${field.trim()} `, value]);
      }
      resolve(out);
    });
    dialog.querySelector("input").focus();
  });
}

// --- Dialogs -----------------------------------------------------------------------------------

// A modal dialog with a title, contents and buttons; `done` gets the chosen button's text.
function modal(title, contents, buttons, done, kind) {
  const dialog = el("dialog", { class: kind || "" });
  const bar = el("div", { class: "dialog-buttons" });
  let answered = false;
  const finish = (choice) => {
    if (answered) return;
    answered = true;
    dialog.close();
    dialog.remove();
    done(choice);
  };
  for (const b of buttons) bar.append(el("button", { text: b, onclick: () => finish(b) }));
  dialog.append(el("div", { class: "dialog-title", text: title || "" }),
    el("div", { class: "dialog-body" }, ...contents), bar);
  dialog.addEventListener("cancel", (e) => {
    e.preventDefault();
    if (buttons.length === 1) finish(buttons[0]);
  });
  document.getElementById("dialogs").append(dialog);
  dialog.showModal();
  return dialog;
}

const BUTTONS = {
  "OK": ["OK"], "OK/Cancel": ["OK", "Cancel"], "Abort/Retry/Ignore": ["Abort", "Retry", "Ignore"],
  "Yes/No/Cancel": ["Yes", "No", "Cancel"], "Yes/No": ["Yes", "No"], "Retry/Cancel": ["Retry", "Cancel"],
};
const BUTTON_TEXT = { OK: "确定", Cancel: "取消", Abort: "终止", Retry: "重试", Ignore: "忽略", Yes: "是", No: "否" };

// A box a module shows while its call waits: the person's answer lets the call go on.
function showBox(box) {
  if (state.boxes.has(box.id)) return;
  if (box.box === "input") {
    const input = el("input", { type: "text", value: box.default || "" });
    const dialog = modal(box.title, [el("div", { class: "dialog-text", text: box.text }), input],
      ["确定", "取消"], (choice) => {
        state.boxes.delete(box.id);
        api.post("/api/answer", { box: box.id, input: choice === "确定" ? input.value : null });
      });
    state.boxes.set(box.id, dialog);
    input.focus();
    return;
  }
  const names = BUTTONS[box.buttons] || ["OK"];
  const labels = names.map((n) => BUTTON_TEXT[n] || n);
  const kind = box.icon === "Critical" ? "box-critical" : box.icon === "Exclamation" ? "box-exclamation" : "";
  const dialog = modal(box.title, [el("div", { class: "dialog-text", text: box.text })], labels,
    (label) => {
      state.boxes.delete(box.id);
      api.post("/api/answer", { box: box.id, answer: names[labels.indexOf(label)] });
    }, kind);
  state.boxes.set(box.id, dialog);
}

// A dialog form a module shows (a picker, the allocation of a line): modeless for the module,
// a dialog on the page; its own controls finish the work and close it.
async function openDialogForm(handle, form, caption) {
  const key = `${handle}/${form}`;
  if (state.dialogs.has(key)) return;
  const formEl = el("div", { class: "form dialog-form" });
  const dialog = el("dialog", {}, el("div", { class: "dialog-title", text: caption || form }),
    el("div", { class: "dialog-body" }, formEl));
  dialog.addEventListener("cancel", (e) => e.preventDefault());
  document.getElementById("dialogs").append(dialog);
  state.dialogs.set(key, { dialog, formEl, handle, form });
  dialog.showModal();
  const shown = await api.post("/api/snapshot", { module: handle, form });
  if (shown.ok) renderForm(formEl, shown.result, { module: handle, form });
}

function closeDialogForm(handle, form, key) {
  key = key || `${handle}/${form}`;
  const d = state.dialogs.get(key);
  if (!d) return;
  state.dialogs.delete(key);
  d.dialog.close();
  d.dialog.remove();
}

function showPrint(caption, file) {
  const page = el("div", { class: "print-page" }, el("h2", { text: caption }));
  const values = el("table");
  for (const [name, value] of Object.entries(file.values || {})) {
    values.append(el("tr", {}, el("th", { text: name }), el("td", { text: value ?? "" })));
  }
  page.append(values);
  for (const [name, rows] of Object.entries(file.tables || {})) {
    const table = el("table", {}, el("caption", { text: name }));
    rows.forEach((row, i) => table.append(el("tr", {},
      ...row.map((cell) => el(i === 0 ? "th" : "td", { text: cell ?? "" })))));
    page.append(table);
  }
  const dialog = modal("打印预览", [page], ["打印", "关闭"], (choice) => {
    if (choice === "打印") window.print();
  });
  dialog.classList.add("print-dialog");
}

// --- Rendering the form model ------------------------------------------------------------------

// Acts on a control of the module's form (or of its dialog form) and shows the result.
function act(address, control, action, extra) {
  return perform(async () => {
    const body = { ...address, act: action, control: control.name, ...extra };
    if (control.index !== null && control.index !== undefined && control.index >= 0) body.index = control.index;
    const answer = await api.post("/api/act", body);
    const tab = tabOf(address.module);
    if (tab) await refresh(tab);
    return answer;
  });
}

function renderForm(container, snap, address) {
  const focusedName = document.activeElement && document.activeElement.dataset.control;
  container.replaceChildren();
  const controls = (snap.controls || []).filter((c) => c.visible);
  // A form its module never laid out (no control has a size) is shown in reading order:
  // fields and buttons above, grids and trees below at full width.
  const flow = controls.every((c) => !Number(c.width));
  container.classList.toggle("flow", flow);
  const fields = el("div", { class: "flow-fields" });
  const wide = el("div", { class: "flow-wide" });
  if (flow) {
    container.style.width = "";
    container.style.height = "";
    container.append(fields, wide);
  } else {
    container.style.width = px(snap.width || 12000);
    container.style.height = px(snap.height || 8000);
  }
  for (const c of controls) {
    const node = renderControl(c, address, snap);
    if (!node) continue;
    if (c.tooltip) node.title = c.tooltip;
    if (!flow) {
      Object.assign(node.style, { left: px(c.left), top: px(c.top), width: px(c.width), height: px(c.height) });
      container.append(node);
    } else if (c.kind === "grid" || c.kind === "tree_view") {
      wide.append(node);
    } else if (c.kind === "text_box" || c.kind === "lookup_field" || c.kind === "combo_box" || c.kind === "date_picker") {
      fields.append(el("label", { class: "flow-field" }, el("span", { text: c.caption || "" }), node));
    } else {
      fields.append(node);
    }
  }
  if (focusedName) {
    const again = container.querySelector(`[data-control="${CSS.escape(focusedName)}"]`);
    if (again) again.focus();
  }
}

const labelOf = (c) => (c.index >= 0 ? `${c.name}(${c.index})` : c.name);

function renderControl(c, address, snap) {
  const disabled = !c.enabled;
  switch (c.kind) {
    case "label": {
      const stamp = /succeed/i.test(c.name);
      return el("div", { class: `ctl label${stamp ? " stamp" : ""}`, text: c.caption });
    }
    case "frame":
      return el("div", { class: "ctl frame" }, el("span", { class: "frame-caption", text: c.caption }));
    case "text_box":
    case "date_picker": {
      const input = el("input", { type: "text", value: c.text ?? "", disabled, readOnly: !!c.locked });
      input.dataset.control = labelOf(c);
      const send = () => {
        if (input.value !== (c.text ?? "")) act(address, c, "type", { text: input.value });
      };
      input.addEventListener("change", send);
      input.addEventListener("keydown", (e) => {
        if (e.key === "Enter") {
          e.preventDefault();
          send();
        }
      });
      return el("div", { class: "ctl" }, input);
    }
    case "lookup_field": {
      const input = el("input", { type: "text", value: c.text ?? "", disabled });
      input.dataset.control = labelOf(c);
      input.addEventListener("change", () => act(address, c, "type", { text: input.value }));
      input.addEventListener("keydown", (e) => {
        if (e.key === "Enter") {
          e.preventDefault();
          input.blur();
        }
      });
      return el("div", { class: "ctl lookup" }, input,
        el("button", { text: "…", title: "选择", disabled, onclick: () => act(address, c, "pick") }));
    }
    case "check_box":
    case "option_button": {
      const box = el("input", {
        type: c.kind === "check_box" ? "checkbox" : "radio",
        checked: !!c.value, disabled,
        onclick: (e) => {
          e.preventDefault();
          act(address, c, "tick", c.kind === "check_box" ? { value: c.value ? 0 : 1 } : {});
        },
      });
      return el("label", { class: "ctl check" }, box, el("span", { text: c.caption }));
    }
    case "combo_box": {
      const select = el("select", { disabled });
      (c.items || []).forEach((text, i) => select.append(el("option", { value: String(i), text })));
      select.selectedIndex = c.list_index ?? -1;
      select.addEventListener("change", () => act(address, c, "choose", { item: Number(select.value) }));
      return el("div", { class: "ctl" }, select);
    }
    case "button":
      return el("div", { class: "ctl button" },
        el("button", { text: c.caption, disabled, onclick: () => act(address, c, "click") }));
    case "grid":
      return renderGrid(c, address);
    case "tree_view":
      return renderTree(c, address);
    case "line":
    case "shape":
      return el("div", { class: "ctl", style: { borderTop: "1px solid #999" } });
    default:
      return null; // timers, image lists: nothing to see
  }
}

function styleMap(styles) {
  const map = new Map();
  for (const [rows, col, style] of styles || []) {
    const [first, last] = Array.isArray(rows) ? rows : [rows, rows];
    for (let r = first; r <= last; r++) map.set(`${r},${col}`, style);
  }
  return map;
}

const colour = (n) => {
  const v = Number(n) >>> 0;
  return `rgb(${v & 255}, ${(v >> 8) & 255}, ${(v >> 16) & 255})`;
};

function renderGrid(g, address) {
  const wrap = el("div", { class: "ctl grid", tabIndex: 0 });
  wrap.dataset.control = labelOf(g);
  const hiddenCols = new Set(g.hidden_cols || []);
  const hiddenRows = new Set(g.hidden_rows || []);
  const styles = styleMap(g.styles);
  const cols = [];
  for (let c = 0; c < g.cols; c++) if (!hiddenCols.has(c)) cols.push(c);
  const table = el("table");
  const colgroup = el("colgroup");
  for (const c of cols) colgroup.append(el("col", { style: { width: px(g.widths[c]) } }));
  table.append(colgroup);
  const head = el("thead");
  const body = el("tbody");
  for (let r = 0; r < g.rows; r++) {
    if (hiddenRows.has(r)) continue;
    const fixedRow = r < g.fixed_rows;
    const tr = el("tr");
    for (const c of cols) {
      const text = g.cells[r][c] ?? "";
      const fixed = fixedRow || c < g.fixed_cols;
      const cell = el(fixedRow ? "th" : "td", { text });
      if (!fixedRow) {
        if (fixed) cell.classList.add("fixed");
        if ([2, 3, 4, 5, 6].includes(g.data_types[c])) cell.classList.add("number");
        const style = styles.get(`${r},${c}`);
        if (style) {
          if (style.fore_color !== undefined) cell.style.color = colour(style.fore_color);
          if (style.back_color !== undefined) cell.style.background = colour(style.back_color);
          if (style.bold) cell.style.fontWeight = "bold";
        }
        if (r === g.row && c === g.col) cell.classList.add("current");
        cell.addEventListener("click", () => {
          if (cell.classList.contains("editing")) return;
          if (g.editable && !fixed && r === g.row && c === g.col) startEdit(g, address, cell, r, c, text);
          else act(address, g, "click", { row: r, col: c });
        });
        cell.addEventListener("dblclick", () => act(address, g, "double_click", { row: r, col: c }));
      }
      tr.append(cell);
    }
    (fixedRow ? head : body).append(tr);
  }
  table.append(head, body);
  wrap.append(table);
  wrap.addEventListener("keydown", (e) => {
    if (e.target !== wrap) return;
    const move = { ArrowUp: [-1, 0], ArrowDown: [1, 0], ArrowLeft: [0, -1], ArrowRight: [0, 1] }[e.key];
    if (move) {
      e.preventDefault();
      const next = step(g, g.row, g.col, move[0], move[1], hiddenRows, cols);
      act(address, g, "click", { row: next[0], col: next[1] });
    } else if (e.key === "Enter" || e.key === "F2") {
      e.preventDefault();
      const cell = wrap.querySelector("td.current");
      if (cell && g.editable) startEdit(g, address, cell, g.row, g.col, g.cells[g.row][g.col] ?? "");
    } else if (e.key === "Delete") {
      e.preventDefault();
      act(address, g, "key", { row: g.row, col: g.col, key: "Delete" });
    }
  });
  return wrap;
}

// The next shown cell from (row, col), a step of (dr, dc), kept inside the scrollable part.
function step(g, row, col, dr, dc, hiddenRows, cols) {
  let r = row;
  let i = Math.max(0, cols.indexOf(col));
  if (dc) i = Math.min(cols.length - 1, Math.max(0, i + dc));
  while (cols[i] < g.fixed_cols && i < cols.length - 1) i++;
  if (dr) {
    do r += dr; while (r >= g.fixed_rows && r < g.rows && hiddenRows.has(r));
    if (r < g.fixed_rows || r >= g.rows) r = row;
  }
  return [Math.max(r, g.fixed_rows), cols[i]];
}

// Edits a cell in place: Enter stores and goes down, Tab stores and goes right (Shift+Tab
// left), Escape leaves it as it was; the button opens the cell's picker.
function startEdit(g, address, cell, row, col, text) {
  const input = el("input", { type: "text", value: text });
  const button = el("button", { text: "…", title: "选择", onclick: (e) => {
    e.stopPropagation();
    act(address, g, "cell_button", { row, col });
  } });
  cell.replaceChildren(input, button);
  cell.classList.add("editing");
  input.focus();
  input.select();
  let done = false;
  const cols = [];
  for (let c = 0; c < g.cols; c++) if (!(g.hidden_cols || []).includes(c)) cols.push(c);
  const hiddenRows = new Set(g.hidden_rows || []);
  const finish = (dr, dc) => {
    if (done) return;
    done = true;
    const changed = input.value !== text;
    perform(async () => {
      if (changed) await api.post("/api/act", { ...address, act: "edit", control: g.name, row, col, text: input.value });
      if (dr || dc) {
        const [r, c] = step(g, row, col, dr, dc, hiddenRows, cols);
        await api.post("/api/act", { ...address, act: "click", control: g.name, row: r, col: c });
      }
      const tab = tabOf(address.module);
      if (tab) await refresh(tab);
    });
  };
  input.addEventListener("keydown", (e) => {
    e.stopPropagation();
    if (e.key === "Enter") {
      e.preventDefault();
      finish(1, 0);
    } else if (e.key === "Tab") {
      e.preventDefault();
      finish(0, e.shiftKey ? -1 : 1);
    } else if (e.key === "Escape") {
      done = true;
      cell.classList.remove("editing");
      cell.textContent = text;
    }
  });
  input.addEventListener("blur", () => setTimeout(() => {
    if (document.activeElement !== button) finish(0, 0);
  }, 0));
}

function renderTree(t, address) {
  const wrap = el("div", { class: "ctl tree" });
  const children = new Map();
  for (const n of t.nodes || []) {
    const list = children.get(n.parent ?? null) || [];
    list.push(n);
    children.set(n.parent ?? null, list);
  }
  const build = (parent) => {
    const ul = el("ul");
    for (const n of children.get(parent) || []) {
      const kids = children.get(n.key);
      const li = el("li", {},
        el("span", { class: "toggle", text: kids || !n.expanded ? (n.expanded ? "▾" : "▸") : "",
          onclick: () => act(address, t, n.expanded ? "collapse" : "expand", { node: n.key }) }),
        el("span", { class: n.selected ? "selected" : "", text: n.text,
          onclick: () => act(address, t, "select", { node: n.key }),
          ondblclick: () => act(address, t, "double_click", { node: n.key }) }));
      if (kids && n.expanded) li.append(build(n.key));
      ul.append(li);
    }
    return ul;
  };
  wrap.append(build(null));
  return wrap;
}

window.addEventListener("load", start);
