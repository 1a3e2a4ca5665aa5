// The page for students of the lab server: the title, sign-in and registration, the course's
// documents, the tests and the progress screen. Every text from the course or a user goes into the
// page as text (textContent), never as markup.
'use strict';

const state = {
  pageToken: document.querySelector('meta[name="ortavia-page"]').content,
  csrf: '',         // the session's token against cross-site requests, once signed in
  person: null,     // {name, grades, locked}
  menu: [],         // the catalogue as the server gives it
  question: null,   // the question on screen
  screen: 'title',
  lastRun: null,    // {right, count} of the run just finished
  deployment: {},
};

const $ = (id) => document.getElementById(id);
const screens = ['title', 'signin', 'viewer', 'test', 'progress', 'about'];

// --- Messages (the desktop program's message boxes).
function say(text, kind = 'error') {
  const box = $('message');
  box.textContent = text;
  box.className = 'message ' + kind;
  box.hidden = !text;
}

// --- Requests. Changes carry the token against cross-site requests: the page's before sign-in,
// the session's after it.
async function call(path, body, pageToken = false) {
  const options = { method: body === undefined ? 'GET' : 'POST', credentials: 'same-origin', headers: {} };
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.headers['X-CSRF-Token'] = pageToken ? state.pageToken : state.csrf;
    options.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch(path, options);
  } catch (e) {
    return { status: 0, body: { error: 'Нет связи с сервером. Повторите попытку.' } };
  }
  let data = {};
  try { data = await response.json(); } catch (e) { data = {}; }
  return { status: response.status, body: data };
}

// A request of the signed-in person: an expired session brings back the sign-in screen.
async function sessionCall(path, body) {
  const r = await call(path, body);
  if (r.status === 401 && state.person) {
    signedOut();
    say(r.body.error || 'Сеанс закончился. Войдите снова.');
    show('signin');
  }
  return r;
}

// --- Screens: one at a time, the menu as the desktop program shows it in that state.
function show(name) {
  if (state.screen === 'test' && name !== 'test' && state.question) {
    // Leaving the test screen abandons the run: nothing is graded.
    state.question = null;
    sessionCall('/api/run/abandon', {});
  }
  state.screen = name;
  for (const s of screens) $(s + '-screen').hidden = s !== name;
  closeMenus();
  renderMenu();
  const heading = document.querySelector('#' + name + '-screen [tabindex="-1"]');
  if (heading && name !== 'test') heading.focus({ preventScroll: true });
  window.scrollTo(0, 0);
}

function signedOut() {
  state.person = null;
  state.csrf = '';
  state.question = null;
  state.lastRun = null;
  $('who').hidden = true;
  $('who').textContent = '';
}

function signedIn(person) {
  state.person = person;
  if (person.csrf) state.csrf = person.csrf;
  $('who').textContent = person.name;
  $('who').hidden = false;
}

// --- The menu.
function locked(name) {
  return !!state.person && state.person.locked.includes(name.toLowerCase());
}

function entryShown(entry) {
  const signed = !!state.person;
  const testing = state.screen === 'test';
  switch (entry.name) {
    case 'N0': return signed && !testing;
    case 'Nadm': return signed && !testing;
    case 'NaFormuAvtorizazii': return !signed;
    default: return true;
  }
}

function closeMenus(except) {
  for (const b of document.querySelectorAll('#menu > li > button[aria-expanded]')) {
    if (b === except) continue;
    b.setAttribute('aria-expanded', 'false');
    $(b.getAttribute('aria-controls')).hidden = true;
  }
}

// A phone's menu bar, folded behind its button.
function foldMenu(open = false) {
  $('menu').classList.toggle('collapsed', !open);
  $('menu-toggle').setAttribute('aria-expanded', String(open));
}

function itemButton(item) {
  const button = document.createElement('button');
  button.type = 'button';
  button.dataset.name = item.name;
  button.textContent = item.caption;
  if (item.kind === 'launch' || ((item.kind === 'view' || item.kind === 'test') && locked(item.name))) {
    button.setAttribute('aria-disabled', 'true');
    const mark = document.createElement('span');
    mark.className = 'lock';
    mark.textContent = item.kind === 'launch' ? ' (на компьютерах класса)' : ' (закрыто)';
    button.append(mark);
  }
  button.addEventListener('click', () => {
    closeMenus();
    foldMenu();
    command(item);
  });
  return button;
}

function renderMenu() {
  const bar = $('menu');
  bar.replaceChildren();
  state.menu.filter(entryShown).forEach((entry, index) => {
    const li = document.createElement('li');
    if (entry.kind !== 'menu') {
      li.append(itemButton(entry));
      bar.append(li);
      return;
    }
    const top = document.createElement('button');
    top.type = 'button';
    top.textContent = entry.caption;
    top.setAttribute('aria-expanded', 'false');
    top.setAttribute('aria-controls', 'submenu-' + index);
    const list = document.createElement('ul');
    list.id = 'submenu-' + index;
    list.className = 'submenu';
    list.hidden = true;
    list.setAttribute('aria-label', entry.caption);
    if (entry.name === 'N5') {
      const note = document.createElement('li');
      note.className = 'note';
      note.textContent = 'Слайд-шоу открываются на компьютерах класса в программе «Ортавия».';
      list.append(note);
    }
    for (const item of entry.items) {
      if (item.name === 'Ni' && state.screen === 'test') continue;
      const itemLi = document.createElement('li');
      itemLi.append(itemButton(item));
      list.append(itemLi);
    }
    top.addEventListener('click', () => {
      const open = top.getAttribute('aria-expanded') !== 'true';
      closeMenus(top);
      top.setAttribute('aria-expanded', String(open));
      list.hidden = !open;
      if (open) list.querySelector('button')?.focus();
    });
    list.addEventListener('keydown', (e) => {
      const items = [...list.querySelectorAll('button')];
      const at = items.indexOf(document.activeElement);
      if (e.key === 'Escape') {
        closeMenus();
        top.focus();
      } else if (e.key === 'ArrowDown' || e.key === 'ArrowUp') {
        e.preventDefault();
        const next = (at + (e.key === 'ArrowDown' ? 1 : items.length - 1)) % items.length;
        items[next].focus();
      }
    });
    li.append(top, list);
    bar.append(li);
  });
}

async function command(item) {
  say('');
  if (item.kind === 'launch') {
    say('Слайд-шоу «' + item.caption + '» открывается на компьютерах класса в программе «Ортавия».', 'info');
    return;
  }
  if ((item.kind === 'view' || item.kind === 'test') && locked(item.name)) {
    say('Эта тема пока закрыта: сначала сдайте тест предыдущей темы на 3 или выше.', 'info');
    return;
  }
  if (item.kind === 'view') return openDocument(item.url, item.caption);
  if (item.kind === 'test') return startTest(item.name);
  switch (item.name) {
    case 'Ni': return showProgress(false);
    case 'N17': return show('viewer');
    case 'NaFormuAvtorizazii': return show('signin');
    case 'N15': return show('about');
    case 'Ne': return leave();
    default: return undefined;
  }
}

// Links of a course page lead to course pages only, shown in the same frame.
function keepLinksInside() {
  const doc = $('doc').contentDocument;
  if (!doc) return;
  doc.addEventListener('click', (e) => {
    const link = e.target.closest ? e.target.closest('a[href]') : null;
    if (!link) return;
    const url = new URL(link.href, doc.baseURI);
    const same = url.origin === location.origin && url.pathname.startsWith('/course/');
    if (same && url.pathname === new URL(doc.baseURI).pathname) return; // a place on the same page
    e.preventDefault();
    if (!same) {
      say('Ссылка ведёт за пределы курса: здесь открываются только документы курса.', 'info');
      return;
    }
    $('doc').src = url.href;
  }, true);
}

function openDocument(url, caption) {
  const frame = $('doc');
  frame.title = caption.trim();
  $('viewer-h').textContent = caption.trim();
  frame.src = url;
  show('viewer');
}

// --- Title screen: the deployment texts; it closes by itself after 3 s.
function fill(id, text) { $(id).textContent = text || ''; }

async function loadTitle() {
  const r = await call('/api/deployment');
  const t = r.body || {};
  state.deployment = t;
  fill('t-institution', t.institution);
  fill('t-department', t.department);
  fill('t-specialty', t.specialty);
  fill('t-publication', t.publication);
  fill('t-compiler', 'Құрастырушы: ' + (t.compiler || ''));
  fill('t-compiler-position', t.compilerPosition);
  fill('t-developer', 'Әзірлеуші: ' + (t.developer || ''));
  fill('t-developer-position', t.developerPosition);
  fill('t-place', [t.city, t.year].filter(Boolean).join(', '));
  fill('a-compiler', 'Құрастырушы: ' + (t.compiler || ''));
  fill('a-compiler-position', t.compilerPosition);
  fill('a-developer', 'Әзірлеуші: ' + [t.developer, t.developerDepartment].filter(Boolean).join(', '));
  fill('a-developer-position', t.developerPosition);
  fill('a-place', [t.city, t.year].filter(Boolean).join(', '));
}

// --- Sign-in screen.
function typed() {
  return { name: $('name').value, password: $('password').value };
}

async function signIn(event) {
  event.preventDefault();
  say('');
  const r = await call('/web/signin', typed(), true);
  if (r.status !== 200) {
    say(r.body.error || 'Проверьте правильность имени и пароля!');
    $('password').value = '';
    $('password').focus();
    return;
  }
  $('password').value = '';
  signedIn(r.body);
  openDocument('/course/data/help/sod.htm', 'Көмек');
}

async function register() {
  say('');
  const r = await call('/web/register', typed(), true);
  if (r.status !== 200) {
    say(r.body.error || 'Регистрация не выполнена.');
    return;
  }
  say(r.body.message, 'info');
}

async function deleteUser() {
  say('');
  const { name } = typed();
  if (!window.confirm('Удалить пользователя «' + name + '» и все его оценки?')) return;
  const r = await call('/web/delete', typed(), true);
  if (r.status !== 200) {
    say(r.body.error || 'Проверьте правильность имени и пароля!');
    return;
  }
  say('Пользователь «' + name + '» и все его оценки удалены.', 'info');
}

async function leave() {
  if (!state.person) {
    show('title');
    return;
  }
  if (!window.confirm('Вы действительно хотите выйти из программы?')) return;
  // The sign-out ends a run under way: no abandon of it is sent first.
  state.question = null;
  if (state.screen === 'test') show('viewer');
  await call('/web/signout', {});
  signedOut();
  show('signin');
}

// --- The test.
async function startTest(name) {
  const r = await sessionCall('/api/run/start', { test: name });
  if (r.status !== 200) {
    if (r.status !== 401) say(r.body.error || 'Тест не начат.');
    return;
  }
  if (r.body.optionsProblem) say(r.body.optionsProblem);
  state.question = null;
  show('test');
  showQuestion(r.body);
}

function showQuestion(q) {
  state.question = q;
  const plain = q.plain || { text: q.text, answers: q.answers };
  $('counter').textContent = q.number + ' из ' + q.count;
  // The question's figures where the plain text names them, «[рисунок: NAME]».
  const names = new Set([...(q.text || '').matchAll(/\\img\{([^{}\\/]+)\}/g)].map((m) => m[1]));
  const question = $('question');
  question.replaceChildren();
  let at = 0;
  for (const m of plain.text.matchAll(/\[рисунок: ([^\]]+)\]/g)) {
    if (!names.has(m[1])) continue;
    question.append(plain.text.slice(at, m.index));
    const img = document.createElement('img');
    img.src = '/web/figure/' + encodeURIComponent(m[1]);
    img.alt = 'Рисунок ' + m[1];
    img.className = 'figure';
    question.append(img);
    at = m.index + m[0].length;
  }
  question.append(plain.text.slice(at));
  const list = $('answers');
  list.replaceChildren();
  const letters = ['A', 'B', 'C', 'D', 'E'];
  plain.answers.forEach((text, i) => {
    if (!text.trim()) return; // an answer the question lacks is not shown
    const li = document.createElement('li');
    const label = document.createElement('label');
    const input = document.createElement('input');
    input.type = 'radio';
    input.name = 'answer';
    input.value = String(i + 1);
    const letter = document.createElement('span');
    letter.className = 'letter';
    letter.textContent = letters[i];
    const span = document.createElement('span');
    span.className = 'answer-text';
    span.textContent = text;
    label.append(input, letter, span);
    label.addEventListener('dblclick', () => { input.checked = true; answer(); });
    input.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || (e.key === ' ' && input.checked)) {
        e.preventDefault();
        answer();
      }
    });
    li.append(label);
    list.append(li);
  });
  const first = list.querySelector('input');
  if (first) first.focus();
}

let answering = false;
async function answer(event) {
  if (event) event.preventDefault();
  const chosen = document.querySelector('#answers input:checked');
  if (!chosen) {
    say('Выберите ответ.', 'info');
    return;
  }
  if (answering || !state.question) return;
  answering = true;
  say('');
  const asked = state.question.number;
  let r;
  // A lost connection: the answer is sent again until the server takes it (it ignores a repeat).
  for (let attempt = 0; attempt < 20; ++attempt) {
    r = await sessionCall('/api/run/answer', { question: asked, place: Number(chosen.value) });
    if (r.status !== 0) break;
    say('Нет связи с сервером, ответ будет отправлен повторно…', 'info');
    await new Promise((resolve) => setTimeout(resolve, 1500));
  }
  answering = false;
  if (r.status !== 200) {
    if (r.status !== 401) say(r.body.error || 'Ответ не принят.');
    return;
  }
  say('');
  if (r.body.answerLogProblem) say(r.body.answerLogProblem);
  if (r.body.next) {
    showQuestion(r.body.next);
    return;
  }
  state.question = null;
  state.person = Object.assign(state.person, r.body.person);
  state.lastRun = r.body.end;
  showProgress(true);
}

// --- The progress screen.
async function showProgress(afterRun) {
  if (!afterRun) {
    state.lastRun = null;
    const r = await sessionCall('/web/me');
    if (r.status !== 200) return;
    signedIn(r.body);
  }
  const p = state.person;
  $('progress-name').textContent = p.name;
  const body = $('grades');
  body.replaceChildren();
  for (let k = 1; k <= 10; ++k) {
    const tr = document.createElement('tr');
    const th = document.createElement('th');
    th.scope = 'row';
    th.textContent = 'Тест №' + k;
    const td = document.createElement('td');
    td.textContent = String(p.grades[k - 1]);
    tr.append(th, td);
    body.append(tr);
  }
  const right = $('right-count');
  right.hidden = !state.lastRun;
  if (state.lastRun) right.textContent = 'Правильных ответов: ' + state.lastRun.right + ' из ' + state.lastRun.count;
  show('progress');
}

// --- Start.
async function start() {
  $('signin-form').addEventListener('submit', signIn);
  $('register').addEventListener('click', register);
  $('delete').addEventListener('click', deleteUser);
  $('answer-form').addEventListener('submit', answer);
  $('progress-back').addEventListener('click', () => show('viewer'));
  $('about-back').addEventListener('click', () => show('viewer'));
  $('doc').addEventListener('load', keepLinksInside);
  $('menu-toggle').addEventListener('click', () => foldMenu($('menu').classList.contains('collapsed')));
  $('title-close').addEventListener('click', () => { if (state.screen === 'title') show('signin'); });
  document.addEventListener('click', (e) => { if (!$('nav').contains(e.target)) closeMenus(); });
  document.addEventListener('keydown', (e) => { if (e.key === 'Escape') closeMenus(); });

  const [catalogue] = await Promise.all([call('/web/catalogue'), loadTitle()]);
  state.menu = catalogue.body.menu || [];
  const me = await call('/web/me');
  if (me.status === 200) {
    // A reload of the page: the session goes on, and so does its test.
    signedIn(me.body);
    const run = await sessionCall('/api/run');
    if (run.status === 200 && run.body.active) {
      show('test');
      showQuestion(run.body.question);
    } else {
      show('viewer');
    }
    return;
  }
  show('title');
  setTimeout(() => { if (state.screen === 'title') show('signin'); }, 3000);
}

start();
