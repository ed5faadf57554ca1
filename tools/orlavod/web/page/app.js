// The signs of one orlavod: a card per sign, kept live from the event stream.
// Every text that comes from the service (sign names, headlines, results)
// goes into the page as text nodes only, never as markup.
'use strict';

(() => {
  const COLOURS = new Set(['red', 'green', 'yellow', 'blue', 'magenta', 'cyan', 'white']);
  const FEED_SLOTS = 26;
  const TEXT_MAX = 1100;        // characters a sign takes in one message set
  const MINUTES_MAX = 1440;     // the longest announcement: one day
  const SCROLL_SPEEDS = [30, 45, 60, 80, 100];  // pixels a second for the sign's speeds 1 to 5
  const SCROLL_MARGIN = 12;     // where the first message starts
  const RETRY_MAX_SECONDS = 30;

  const cards = new Map();      // sign name -> card
  let events = null;
  let retryTimer = null;
  let retryDelay = 1;
  let loginShown = false;
  const stillMotion = window.matchMedia('(prefers-reduced-motion: reduce)').matches;

  const $ = (id) => document.getElementById(id);

  // el('p', {className: 'x'}, 'text', child...): an element with properties and children.
  function el(tag, props, ...children) {
    const node = document.createElement(tag);
    for (const [key, value] of Object.entries(props || {})) {
      if (key === 'role') {
        node.setAttribute(key, value);
      } else {
        node[key] = value;
      }
    }
    for (const child of children) {
      node.append(child);
    }
    return node;
  }

  function field(label, input) {
    const id = `f${field.next = (field.next || 0) + 1}`;
    input.id = id;
    return el('div', {className: 'field'}, el('label', {htmlFor: id, textContent: label}), input);
  }

  function checkbox(label) {
    const input = el('input', {type: 'checkbox'});
    return {input, row: el('label', {className: 'check'}, input, el('span', {textContent: label}))};
  }

  const signPath = (name, tail) => `/api/v1/signs/${encodeURIComponent(name)}${tail}`;
  const text = (value) => (typeof value === 'string' ? value : '');
  const when = (value) => text(value).replace('T', ' ');

  // One request to the API: {ok, status, data, error}; a 401 shows the login form.
  async function api(method, path, body) {
    const init = {method, credentials: 'same-origin', headers: {Accept: 'application/json'}};
    if (body !== undefined) {
      init.headers['Content-Type'] = 'application/json';
      init.body = JSON.stringify(body);
    }
    let response;
    try {
      response = await fetch(path, init);
    } catch (e) {
      return {ok: false, status: 0, data: null, error: 'The service cannot be reached.'};
    }
    let data = null;
    try {
      const raw = await response.text();
      data = raw ? JSON.parse(raw) : null;
    } catch (e) {
      data = null;
    }
    if (response.status === 401 && path !== '/api/v1/login') {
      showLogin();
    }
    let error = '';
    if (!response.ok) {
      error = data && typeof data.error === 'string' ? data.error : `The service answered ${response.status}.`;
    }
    return {ok: response.ok, status: response.status, data, error};
  }

  // ---- connection --------------------------------------------------------

  function setConnection(state, message) {
    const line = $('connection');
    line.hidden = false;
    line.className = `connection ${state}`;
    document.body.classList.toggle('offline', state === 'lost');
    $('connection-text').textContent = message;
    $('connection-retry').hidden = state !== 'lost';
  }

  function closeEvents() {
    if (events) {
      events.close();
      events = null;
    }
  }

  function retryLater(reason) {
    closeEvents();
    clearTimeout(retryTimer);
    let left = retryDelay;
    retryDelay = Math.min(retryDelay * 2, RETRY_MAX_SECONDS);
    const tick = () => {
      if (left <= 0) {
        setConnection('lost', `${reason} Trying again…`);
        load();
        return;
      }
      setConnection('lost', `${reason} Trying again in ${left} s.`);
      left -= 1;
      retryTimer = setTimeout(tick, 1000);
    };
    tick();
  }

  function openEvents() {
    closeEvents();
    const source = new EventSource('/api/v1/events');
    events = source;
    source.addEventListener('open', () => {
      retryDelay = 1;
      setConnection('live', 'Live');
    });
    source.addEventListener('sign', (event) => {
      let sign;
      try {
        sign = JSON.parse(event.data);
      } catch (e) {
        return;
      }
      if (sign && typeof sign.name === 'string') {
        showSign(sign);
      }
    });
    // The browser's own reconnect cannot tell a lost token from a lost
    // service: reload the list first, which shows the login form on a 401.
    source.addEventListener('error', () => {
      if (events === source) {
        retryLater('Connection to the service lost.');
      }
    });
  }

  async function load() {
    clearTimeout(retryTimer);
    const reply = await api('GET', '/api/v1/signs');
    if (reply.status === 401) {
      return;
    }
    if (!reply.ok || !Array.isArray(reply.data)) {
      retryLater(reply.error || 'The service sent no list of signs.');
      return;
    }
    hideLogin();
    const names = new Set();
    for (const sign of reply.data) {
      if (sign && typeof sign.name === 'string') {
        const known = cards.get(sign.name);
        names.add(sign.name);
        showSign(sign);
        if (known) {
          loadSettings(known);  // another user may have saved them meanwhile
        }
      }
    }
    for (const [name, card] of cards) {
      if (!names.has(name)) {
        card.root.remove();
        cards.delete(name);
      }
    }
    const empty = $('page-message');
    empty.hidden = names.size > 0;
    empty.textContent = 'This service drives no signs.';
    openEvents();
  }

  // ---- login -------------------------------------------------------------

  function showLogin() {
    closeEvents();
    clearTimeout(retryTimer);
    $('connection').hidden = true;
    $('signs').hidden = true;
    $('login').hidden = false;
    if (!loginShown) {
      loginShown = true;
      $('login-token').focus();
    }
  }

  function hideLogin() {
    loginShown = false;
    $('login').hidden = true;
    $('signs').hidden = false;
  }

  async function login(event) {
    event.preventDefault();
    const input = $('login-token');
    const error = $('login-error');
    error.textContent = '';
    const reply = await api('POST', '/api/v1/login', {token: input.value});
    if (reply.status === 401) {
      error.textContent = 'That token is not the one the service asks for.';
      input.select();
      return;
    }
    if (!reply.ok) {
      error.textContent = reply.error;
      return;
    }
    input.value = '';
    load();
  }

  // ---- a sign's card -----------------------------------------------------

  function stateRow(list, label) {
    const value = el('dd');
    const row = el('div', {className: 'row'}, el('dt', {textContent: label}), value);
    list.append(row);
    return {row, value};
  }

  function createCard(name) {
    const card = {name, shown: '', offset: 0, scrollSpeed: SCROLL_SPEEDS[0], scrolls: false, trackWidth: 0, settingsDirty: false, announcement: null};
    card.title = el('h2', {textContent: name});
    card.linkLine = el('p', {className: 'link-line'});
    card.badges = el('div', {className: 'badges'});
    card.track = el('div', {className: 'track'});
    card.progress = el('span', {className: 'progress', hidden: true});
    card.led = el('div', {className: 'led', role: 'img'}, card.track, card.progress);
    if (stillMotion) {
      card.led.classList.add('still');
    }

    const state = el('dl', {className: 'state'});
    card.lastUpdate = stateRow(state, 'Last update');
    card.failing = stateRow(state, 'Failing since');
    card.failing.row.classList.add('failing');
    card.announced = stateRow(state, 'Announcement');
    card.result = stateRow(state, 'Last result');

    card.root = el('article', {className: 'card'},
      el('header', {className: 'card-head'}, el('div', {}, card.title, card.linkLine), card.badges),
      card.led,
      el('div', {className: 'card-body'},
        el('div', {className: 'column'}, state, announceForm(card), updateRow(card)),
        el('div', {className: 'column'}, settingsForm(card))));
    $('signs').append(card.root);
    cards.set(name, card);
    loadSettings(card);
    return card;
  }

  function reply(line, result, okText) {
    line.className = result.ok ? 'reply ok' : 'reply error';
    line.textContent = result.ok ? (result.data && typeof result.data.message === 'string' ? result.data.message : okText)
      : result.error;
  }

  function announceForm(card) {
    const input = el('input', {type: 'text', maxLength: TEXT_MAX, required: true, autocomplete: 'off',
      placeholder: 'Text shown instead of the headlines'});
    const minutes = el('input', {type: 'number', min: 1, max: MINUTES_MAX, step: 1, value: 10,
      required: true, inputMode: 'numeric', className: 'minutes'});
    const send = el('button', {type: 'submit', className: 'primary', textContent: 'Send'});
    card.endButton = el('button', {type: 'button', textContent: 'End announcement', disabled: true});
    const line = el('p', {className: 'reply', role: 'status'});
    const form = el('form', {className: 'announce'},
      el('h3', {textContent: 'Announce'}),
      field('Text', input),
      el('div', {className: 'inline'}, field('Minutes', minutes), send, card.endButton),
      line);
    form.addEventListener('submit', async (event) => {
      event.preventDefault();
      send.disabled = true;
      const result = await api('POST', signPath(card.name, '/announce'),
        {text: input.value, minutes: Number(minutes.value)});
      send.disabled = false;
      reply(line, result, 'Announcement sent.');
      if (result.ok) {
        input.value = '';
      }
    });
    card.endButton.addEventListener('click', async () => {
      card.endButton.disabled = true;
      const result = await api('DELETE', signPath(card.name, '/announce'));
      reply(line, result, 'Announcement ended.');
      card.endButton.disabled = result.ok || !card.announcement;
    });
    return form;
  }

  function updateRow(card) {
    card.updateButton = el('button', {type: 'button', textContent: 'Update now'});
    const line = el('p', {className: 'reply', role: 'status'});
    card.updateButton.addEventListener('click', async () => {
      card.updateButton.disabled = true;
      reply(line, await api('POST', signPath(card.name, '/update')), 'Update started.');
      card.updateButton.disabled = false;
    });
    return el('div', {className: 'actions'}, card.updateButton, line);
  }

  // ---- settings ----------------------------------------------------------

  function settingsForm(card) {
    const s = {};
    s.period = el('input', {type: 'number', min: 0, max: 10080, step: 'any', inputMode: 'decimal', className: 'minutes'});
    s.hours = el('input', {type: 'text', placeholder: 'at all hours', autocomplete: 'off'});
    s.days = el('input', {type: 'text', placeholder: 'every day', autocomplete: 'off'});
    s.messages = el('input', {type: 'number', min: 1, max: 25, step: 1, inputMode: 'numeric', className: 'minutes'});
    s.speed = el('input', {type: 'number', min: 1, max: 5, step: 1, inputMode: 'numeric', className: 'minutes'});
    s.udp = checkbox('Over the network (UDP)');
    s.address = el('input', {type: 'text', inputMode: 'decimal', autocomplete: 'off', placeholder: '255.255.255.255'});
    s.serial = checkbox('Over a serial line');
    s.serialPort = el('input', {type: 'number', min: 1, max: 255, step: 1, inputMode: 'numeric', className: 'minutes'});
    s.clock = checkbox('Built into a clock (sends in packets)');
    s.feeds = [];
    const feedList = el('ol', {className: 'feeds'});
    for (let i = 0; i < FEED_SLOTS; i += 1) {
      const input = el('input', {type: 'text', inputMode: 'url', autocomplete: 'off', spellcheck: false});
      input.setAttribute('aria-label', `Feed ${i + 1}`);
      s.feeds.push(input);
      feedList.append(el('li', {}, input));
    }
    s.feedSummary = el('summary', {textContent: 'Feeds'});
    const save = el('button', {type: 'submit', className: 'primary', textContent: 'Save'});
    const discover = el('button', {type: 'button', textContent: 'Discover'});
    s.line = el('p', {className: 'reply', role: 'status'});
    s.found = el('ul', {className: 'found'});
    card.settings = s;

    const form = el('form', {className: 'settings'},
      el('h3', {textContent: 'Settings'}),
      el('div', {className: 'inline'},
        field('Period (min)', s.period),
        field('Hours', s.hours),
        field('Days', s.days)),
      el('small', {className: 'hint', textContent: 'For example 07:30-18:00 and Mon-Fri; empty: always.'}),
      el('div', {className: 'inline'}, field('Headlines', s.messages), field('Speed (1-5)', s.speed)),
      el('fieldset', {}, el('legend', {textContent: 'Link'}),
        s.udp.row, field('Sign address', s.address),
        s.serial.row, field('Serial port (Com)', s.serialPort),
        s.clock.row),
      el('details', {className: 'feed-list'}, s.feedSummary, feedList),
      el('div', {className: 'actions'}, save, discover),
      s.line, s.found);
    form.addEventListener('input', () => {
      card.settingsDirty = true;
    });
    form.addEventListener('submit', async (event) => {
      event.preventDefault();
      save.disabled = true;
      const result = await api('PUT', signPath(card.name, '/settings'), readSettings(s));
      save.disabled = false;
      reply(s.line, result, 'Saved.');
      if (result.ok) {
        card.settingsDirty = false;
        if (result.data && typeof result.data === 'object' && Array.isArray(result.data.feeds)) {
          fillSettings(card, result.data);
        } else {
          loadSettings(card);
        }
      }
    });
    discover.addEventListener('click', () => runDiscovery(card, discover));
    return form;
  }

  function fillSettings(card, data) {
    const s = card.settings;
    const link = data.link && typeof data.link === 'object' ? data.link : {};
    s.period.value = data.update_period ?? '';
    s.messages.value = data.messages ?? '';
    s.speed.value = data.speed ?? '';
    card.scrollSpeed = SCROLL_SPEEDS[Number(data.speed) - 1] || SCROLL_SPEEDS[0];
    s.hours.value = text(data.hours);
    s.days.value = text(data.days);
    s.udp.input.checked = Boolean(link.udp);
    s.address.value = text(link.address);
    s.serial.input.checked = Boolean(link.serial);
    s.serialPort.value = link.serial_port ?? '';
    s.clock.input.checked = Boolean(link.clock);
    const feeds = Array.isArray(data.feeds) ? data.feeds : [];
    s.feeds.forEach((input, i) => {
      input.value = text(feeds[i]);
    });
    const used = s.feeds.filter((input) => input.value !== '').length;
    s.feedSummary.textContent = `Feeds (${used} of ${FEED_SLOTS} set)`;
  }

  function readSettings(s) {
    // An empty number field leaves the stored value as it is.
    const numberIn = (input) => (input.value.trim() === '' ? undefined : Number(input.value));
    return {
      feeds: s.feeds.map((input) => input.value.trim()),
      update_period: numberIn(s.period),
      messages: numberIn(s.messages),
      speed: numberIn(s.speed),
      hours: s.hours.value.trim(),
      days: s.days.value.trim(),
      link: {
        udp: s.udp.input.checked,
        address: s.address.value.trim(),
        serial: s.serial.input.checked,
        serial_port: numberIn(s.serialPort),
        clock: s.clock.input.checked,
      },
    };
  }

  async function loadSettings(card) {
    const result = await api('GET', signPath(card.name, '/settings'));
    if (result.ok && result.data && typeof result.data === 'object') {
      if (!card.settingsDirty) {
        fillSettings(card, result.data);
      }
    } else if (result.status !== 401) {
      reply(card.settings.line, result, '');
    }
  }

  async function runDiscovery(card, button) {
    const s = card.settings;
    button.disabled = true;
    s.line.className = 'reply';
    s.line.textContent = 'Looking for signs…';
    s.found.replaceChildren();
    const result = await api('POST', '/api/v1/discover', {sign: card.name});
    button.disabled = false;
    if (!result.ok) {
      reply(s.line, result, '');
      return;
    }
    const answer = result.data && typeof result.data === 'object' ? result.data : {};
    const found = Array.isArray(answer.signs) ? answer.signs.filter((sign) => sign && typeof sign === 'object') : [];
    const cut = answer.cut_short ? ' The walk was cut short.' : '';
    s.line.textContent = (found.length ? `${found.length} found: pick one to make it the sign address, then Save.`
      : 'No sign answered.') + cut;
    for (const sign of found) {
      if (typeof sign.address !== 'string' || sign.address === '') {
        s.found.append(el('li', {textContent: text(sign.line)}));
        continue;
      }
      const label = [sign.address, text(sign.name), text(sign.mac)].filter(Boolean).join(' · ');
      const pick = el('button', {type: 'button', className: 'link', textContent: label});
      pick.addEventListener('click', () => {
        s.address.value = sign.address;
        s.udp.input.checked = true;
        card.settingsDirty = true;
        s.address.focus();
      });
      s.found.append(el('li', {}, pick));
    }
  }

  // ---- what a card shows -------------------------------------------------

  function linkText(sign) {
    const link = sign.link && typeof sign.link === 'object' ? sign.link : {};
    const parts = [];
    if (link.udp || text(sign.address)) {
      parts.push(`UDP ${text(sign.address) || text(link.address)}`);
    }
    if (link.serial) {
      parts.push(`serial Com ${text(String(link.serial_port ?? ''))}`);
    }
    if (link.clock) {
      parts.push('clock');
    }
    return parts.join(' · ');
  }

  function badge(card, label, kind) {
    card.badges.append(el('span', {className: `badge ${kind}`, textContent: label}));
  }

  function showPreview(card, sign) {
    const headlines = Array.isArray(sign.headlines) ? sign.headlines : [];
    const key = JSON.stringify([headlines, sign.inside_hours]);
    if (key === card.shown) {
      return;
    }
    card.shown = key;
    card.offset = 0;
    const spans = [];
    for (const message of headlines) {
      if (!message || typeof message.text !== 'string') {
        continue;
      }
      const colour = COLOURS.has(message.colour) ? message.colour : 'red';
      spans.push(el('span', {className: `msg c-${colour}`, textContent: message.text}));
    }
    card.led.classList.toggle('empty', spans.length === 0);
    if (spans.length === 0) {
      const idle = sign.inside_hours === false ? 'Dark outside its hours' : 'Nothing sent to the sign yet';
      card.track.replaceChildren(el('span', {className: 'idle', textContent: idle}));
      card.led.setAttribute('aria-label', idle);
    } else {
      card.track.replaceChildren(...spans);
      card.led.setAttribute('aria-label', `The sign shows: ${spans.map((s) => s.textContent).join(' | ')}`);
    }
    card.track.style.transform = '';
    card.scrolls = spans.length > 0;
    card.trackWidth = 0;  // measured once the card is on screen
  }

  function showSign(sign) {
    const card = cards.get(sign.name) || createCard(sign.name);
    card.linkLine.textContent = linkText(sign);
    card.badges.replaceChildren();
    if (sign.updating) {
      badge(card, 'Updating', 'busy');
    }
    if (sign.inside_hours === false) {
      badge(card, 'Dark outside its hours', 'dark');
    }
    if (sign.failing_since) {
      badge(card, 'Failing', 'bad');
    }
    if (sign.announcement) {
      badge(card, 'Announcing', 'note');
    }
    card.led.classList.toggle('dark', sign.inside_hours === false);
    showPreview(card, sign);

    const sending = text(sign.sending);
    card.progress.hidden = sending === '';
    card.progress.textContent = sending;

    card.lastUpdate.value.textContent = when(sign.last_update) || 'none yet';
    card.failing.row.hidden = !sign.failing_since;
    card.failing.value.textContent = when(sign.failing_since);
    card.result.value.textContent = text(sign.last_result) || '—';
    card.result.row.hidden = text(sign.last_result) === '';

    const announcement = sign.announcement && typeof sign.announcement === 'object' ? sign.announcement : null;
    card.announcement = announcement
      ? {text: text(announcement.text), ends: Date.now() + 1000 * Math.max(0, Number(announcement.seconds_left) || 0)}
      : null;
    card.endButton.disabled = !announcement;
    card.updateButton.disabled = Boolean(sign.updating);
    showAnnouncement(card);
  }

  function showAnnouncement(card) {
    const a = card.announcement;
    card.announced.row.hidden = !a;
    if (!a) {
      return;
    }
    const left = Math.max(0, Math.round((a.ends - Date.now()) / 1000));
    const minutes = Math.floor(left / 60);
    const seconds = String(left % 60).padStart(2, '0');
    card.announced.value.replaceChildren(el('q', {textContent: a.text}),
      el('span', {className: 'muted', textContent: ` ${minutes}:${seconds} left`}));
  }

  // ---- the marquee: messages start at the left, run out to the left and
  // come round again from the right, as on the sign ------------------------

  let lastFrame = 0;
  function scroll(now) {
    const seconds = lastFrame ? Math.min((now - lastFrame) / 1000, 0.25) : 0;
    lastFrame = now;
    if (!stillMotion) {
      for (const card of cards.values()) {
        if (!card.scrolls) {
          continue;
        }
        if (!card.trackWidth) {
          card.trackWidth = card.track.offsetWidth;
          if (!card.trackWidth) {
            continue;
          }
        }
        card.offset += card.scrollSpeed * seconds;
        const cycle = card.trackWidth + card.led.clientWidth;
        let x = SCROLL_MARGIN - (card.offset % cycle);
        if (x + card.trackWidth < 0) {
          x += cycle;
        }
        card.track.style.transform = `translateX(${x.toFixed(1)}px)`;
      }
    }
    requestAnimationFrame(scroll);
  }

  window.addEventListener('resize', () => {
    for (const card of cards.values()) {
      card.trackWidth = 0;
    }
  });

  document.addEventListener('DOMContentLoaded', () => {
    $('login-form').addEventListener('submit', login);
    $('connection-retry').addEventListener('click', load);
    setInterval(() => cards.forEach(showAnnouncement), 1000);
    requestAnimationFrame(scroll);
    load();
  });
})();
