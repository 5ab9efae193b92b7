'use strict';
// The page of kmconsole web. Texts from the network are only ever set as text, never as markup.
(() => {
  const $ = (id) => document.getElementById(id);
  // The token comes in the link's fragment, which browsers never send to a server. It is kept in
  // this tab's storage for this origin (address and port) only, and taken out of the address
  // bar and the history at once.
  const token = (() => {
    const m = /^#token=([A-Za-z0-9._~-]{16,128})$/.exec(location.hash);
    if (m) {
      sessionStorage.setItem('kiv-token', m[1]);
      history.replaceState(null, '', location.pathname + location.search);
    }
    return sessionStorage.getItem('kiv-token');
  })();
  const maxLog = 200;       // lines kept in the message log
  let session = null;
  let version = 0;
  let state = { kivs: [] };
  let selected = null;      // id of the Kiv shown in the panel
  let shownPrompt = 0;      // id of the prompt on screen
  let lastNote = 0;         // id of the newest note logged

  const errors = {
    locked: 'このKivは、このコンソールの他の利用者が接続処理を行っているため、処理が終わるまで操作できません。',
    busy: 'このKivは、このコンソールの他の利用者への応答を待っています。しばらくしてからもう一度お試しください。',
    prompt: 'この質問にはもう答えられません。メニューを表示し直してください。',
    kiv: 'このKivはネットワーク上に見えなくなりました。',
    token: 'トークンが違います。kmconsole が表示したリンクを開き直してください。',
    notoken: 'このページは、kmconsole web が起動時に表示したリンクから開いてください。',
    limited: '誤ったトークンが続いたため、しばらく受け付けられません。少し待ってから開き直してください。',
    sessions: 'このコンソールの利用者が多すぎます。しばらくしてからもう一度お試しください。',
  };

  async function api(method, path, body) {
    const headers = { 'X-Kiv-Token': token };
    if (session) headers['X-Kiv-Session'] = session;
    if (body !== undefined) headers['Content-Type'] = 'application/json';
    const res = await fetch(path, {
      method, headers, body: body === undefined ? undefined : JSON.stringify(body),
      credentials: 'omit', cache: 'no-store',
    });
    let data = null;
    try { data = await res.json(); } catch (e) { data = null; }
    return { status: res.status, data };
  }

  // Refusals that the page reports instead of retrying at once.
  const refusals = { 401: 'token', 429: 'limited', 503: 'sessions' };

  async function newSession() {
    const r = await api('POST', '/api/session');
    if (r.status !== 200 || !r.data) throw new Error(refusals[r.status] || 'session');
    session = r.data.session;
    version = 0;
  }

  // Live regions announce every change of their text: set it only when it differs.
  function setText(id, text) { if ($(id).textContent !== text) $(id).textContent = text; }
  function showError(text) { setText('panel-error', text || ''); }

  async function post(path, body) {
    showError('');
    try {
      const r = await api('POST', path, body);
      if (r.status === 202) return true;
      if (r.status === 403) { await newSession(); }
      const code = r.data && r.data.error;
      showError(errors[code] || ('要求は受け付けられませんでした: ' + ((r.data && r.data.reason) || r.status)));
    } catch (e) {
      showError('kmconsole に接続できません。');
    }
    return false;
  }

  function kivName(k) { return k.machine + (k.handle && k.handle !== k.machine ? '（' + k.handle + '）' : ''); }

  function statusList(k) {
    const dl = document.createElement('dl');
    const rows = [['制御対象', k.status.target], ['接続状況', k.status.state],
                  ['自動接続', k.status.start], ['自動切断', k.status.end]];
    for (const [label, value] of rows) {
      const dt = document.createElement('dt'); dt.textContent = label;
      const dd = document.createElement('dd'); dd.textContent = value || '—';
      dl.append(dt, dd);
    }
    return dl;
  }

  function kivLabel(id, from) {
    const k = state.kivs.find((x) => x.id === id);
    return k ? kivName(k) : from;
  }

  function renderList() {
    const list = $('kivs');
    const focusedKiv = document.activeElement && document.activeElement.dataset
      ? document.activeElement.dataset.kiv : undefined;
    list.replaceChildren();
    $('list-empty').hidden = state.kivs.length > 0;
    $('list-more').hidden = !state.unlisted;
    $('list-more').textContent = state.unlisted
      ? 'ほかに ' + state.unlisted + ' 台のKivがネットワーク上にありますが、一覧には ' + state.kivs.length + ' 台までを表示します。'
      : '';
    for (const k of state.kivs) {
      const li = document.createElement('li');
      li.className = 'kiv' + (k.id === selected ? ' selected' : '');
      const nameId = 'name-' + k.id;
      const name = document.createElement('div');
      name.className = 'kiv-name'; name.id = nameId; name.textContent = kivName(k);
      if (k.dialing) name.append(badge('接続処理中（あなた）'));
      if (k.locked) name.append(badge('他の利用者が制御中'));
      const addr = document.createElement('div');
      addr.className = 'kiv-address'; addr.textContent = 'アドレス ' + k.address;
      li.append(name, addr);
      if (k.status) {
        li.append(statusList(k));
        const p = document.createElement('p'); p.className = 'note';
        p.textContent = '最後にメニューを受け取った時点の状態です。';
        li.append(p);
      } else {
        const p = document.createElement('p'); p.className = 'note';
        p.textContent = '状態は、メニューを開くと表示されます。';
        li.append(p);
      }
      const button = document.createElement('button');
      button.type = 'button'; button.className = 'primary'; button.dataset.kiv = k.id;
      button.textContent = 'このKivを操作する';
      button.setAttribute('aria-describedby', nameId);
      button.addEventListener('click', () => open(k.id));
      li.append(button);
      list.append(li);
      if (focusedKiv === k.id) button.focus();
    }
  }

  function badge(text) {
    const s = document.createElement('span'); s.className = 'badge'; s.textContent = text; return s;
  }

  function renderPanel() {
    const k = state.kivs.find((x) => x.id === selected);
    $('panel').hidden = !k;
    if (!k) { shownPrompt = 0; return; }
    $('panel-title').textContent = kivName(k) + ' の操作';
    $('panel-wait').hidden = !k.waiting;
    const own = state.notes.filter((n) => n.kiv === k.id);
    const last = own.length ? own[own.length - 1].text : '';
    setText('panel-note', k.prompt ? '' : last);
    const p = k.prompt;
    const promptId = p ? p.id : 0;
    if (promptId === shownPrompt) return;   // keep what the user is typing and where the focus is
    shownPrompt = promptId;
    $('prompt-message').textContent = p ? p.message : '';
    const form = $('line-form');
    const input = $('line-input');
    const choices = $('choices');
    choices.replaceChildren();
    form.hidden = !(p && !p.select);
    input.value = '';
    if (!p) return;
    if (!p.select) {
      $('line-label').textContent = p.label || '入力';
      input.type = p.password ? 'password' : 'text';
      input.focus();
      return;
    }
    p.items.forEach((item, i) => {
      const b = document.createElement('button');
      b.type = 'button'; b.textContent = item;
      if (i === p.danger) b.className = 'danger';
      b.addEventListener('click', () => answer({ choice: i }));
      choices.append(b);
    });
    if (choices.firstChild) choices.firstChild.focus();
  }

  function logNotes() {
    const log = $('log');
    for (const n of state.notes) {
      if (n.id <= lastNote) continue;
      lastNote = n.id;
      const li = document.createElement('li');
      const from = document.createElement('span');
      from.className = 'from'; from.textContent = kivLabel(n.kiv, n.from);
      li.append(from, document.createTextNode(n.text));
      log.append(li);
    }
    while (log.children.length > maxLog) log.firstElementChild.remove();
  }

  function render() {
    renderList();
    renderPanel();
    logNotes();
  }

  async function open(id) {
    selected = id;
    shownPrompt = -1;
    render();
    $('panel-title').focus();
    await post('/api/open', { kiv: id });
  }

  async function answer(fields) {
    const k = state.kivs.find((x) => x.id === selected);
    if (!k || !k.prompt) return;
    await post('/api/answer', Object.assign({ kiv: k.id, prompt: k.prompt.id }, fields));
  }

  $('line-form').addEventListener('submit', (e) => {
    e.preventDefault();
    const text = $('line-input').value;
    $('line-input').value = '';   // a password is not kept on the page
    answer({ text });
  });
  $('reopen').addEventListener('click', () => { if (selected) open(selected); });

  async function poll() {
    for (;;) {
      try {
        if (!session) await newSession();
        const r = await api('GET', '/api/state?since=' + version);
        if (r.status === 403) { session = null; continue; }
        if (r.status !== 200 || !r.data) throw new Error(refusals[r.status] || 'state');
        setText('connection', 'kmconsole に接続しています');
        if (r.data.version !== version) {
          version = r.data.version;
          state = r.data;
          render();
        }
      } catch (e) {
        // A wrong token stays wrong: asking again would only use up this address's tries.
        if (e.message === 'token' || e.message === 'limited') { setText('connection', errors[e.message]); return; }
        setText('connection', e.message === 'sessions' ? errors.sessions : 'kmconsole に接続できません。再接続しています…');
        await new Promise((ok) => setTimeout(ok, 2000));
      }
    }
  }
  if (token) poll(); else setText('connection', errors.notoken);
})();
