// The lab server's page for students in a real browser (Debian's chromium through puppeteer-core):
// the real ortavia-server on a copy of the sample course. A student registers, signs in, reads a
// lecture, takes test 1 with the keyboard alone and gets the grade, sees the progress screen and the
// next topic open; the refusals (wrong password, registration, administrator, an expired session,
// an administrator route, cross-site requests); texts with markup shown as typed; the page at
// 360x640 and 1366x768 without horizontal scrolling; axe-core on every screen.
//
//   ORTAVIA_SERVER, ORTAVIA_TESTS: the programs of the build; ORTAVIA_COURSE: the sample course;
//   ORTAVIA_WEB_OUT: where the screenshots go (web-*.png); CHROMIUM: the browser (/usr/bin/chromium).
//   ORTAVIA_AFTER_WEB: a program run after the browser's part with the server's address, its
//   fingerprint, the student's name and password and the grades seen (the desktop client's check).
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import puppeteer from 'puppeteer-core';

const require = createRequire(import.meta.url);
const axeSource = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');
const env = process.env;
const serverProgram = env.ORTAVIA_SERVER;
const testsProgram = env.ORTAVIA_TESTS;
const courseSource = env.ORTAVIA_COURSE;
const out = env.ORTAVIA_WEB_OUT || path.join(os.tmpdir(), 'ortavia-web');
fs.mkdirSync(out, { recursive: true });

const failures = [];
function check(ok, what) {
  console.log((ok ? 'ok   ' : 'FAIL ') + what);
  if (!ok) failures.push(what);
}

// --- The course copy and the server.
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'ortavia-web-'));
const servers = [];

function courseCopy(name) {
  const dir = path.join(work, name);
  fs.cpSync(courseSource, dir, { recursive: true });
  // Texts of the course with markup: shown as typed.
  const deployment = path.join(dir, 'data/info/deployment.txt');
  fs.writeFileSync(deployment, fs.readFileSync(deployment, 'utf8')
    .replace(/^institution = .*$/m, 'institution = <img src=x id=injected>Университет <b>КазНУ</b>'));
  // A lecture with a picture, a link to the next lecture, a link out of the course and a script.
  const lecture = path.join(dir, 'data/info/lig-1.html');
  fs.writeFileSync(path.join(dir, 'data/css/dot.svg'),
    '<svg xmlns="http://www.w3.org/2000/svg" width="20" height="20"><circle cx="10" cy="10" r="8"/></svg>');
  fs.writeFileSync(lecture, fs.readFileSync(lecture, 'utf8').replace('</main>',
    '<p><img id="pic" src="../css/dot.svg" alt="точка"> <a id="next" href="lig-2.html">Дәріс 2</a> ' +
    '<a id="out" href="https://example.org/">сайт</a></p><script>parent.document.title = "hacked";</script></main>'));
  return dir;
}

function startServer(dir, extra = []) {
  return new Promise((resolve, reject) => {
    const child = spawn(serverProgram, ['--course', dir, '--listen', '127.0.0.1:0', ...extra],
      { stdio: ['ignore', 'pipe', 'inherit'] });
    servers.push(child);
    let line = '';
    child.stdout.on('data', (chunk) => {
      line += chunk;
      const m = /:(\d+)\/.*SHA-256 ([0-9A-F:]+)/.exec(line);
      if (m) resolve({ port: Number(m[1]), fingerprint: m[2], dir });
    });
    child.on('exit', (code) => reject(new Error('ortavia-server ended: ' + code)));
    setTimeout(() => reject(new Error('ortavia-server did not start')), 60000);
  });
}

// --- The browser.
const browser = await puppeteer.launch({
  executablePath: env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  acceptInsecureCerts: true,
  userDataDir: path.join(work, 'profile'),
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--disable-dev-shm-usage'],
});
const policyViolations = [];
const pageErrors = [];
async function newPage(width = 1366, height = 768) {
  const page = await browser.newPage();
  await page.setViewport({ width, height });
  page.on('console', (m) => { if (/Content Security Policy/.test(m.text())) policyViolations.push(m.text()); });
  page.on('pageerror', (e) => pageErrors.push(String(e)));
  page.on('dialog', (d) => d.accept());
  return page;
}

const text = (page, selector) => page.$eval(selector, (e) => e.textContent);
const visible = (page, id) => page.$eval('#' + id, (e) => !e.hidden);
const message = (page) => page.$eval('#message', (e) => (e.hidden ? '' : e.textContent));
const until = (page, fn, ...args) => page.waitForFunction(fn, { timeout: 15000 }, ...args);
const screenShown = (page, name) => until(page, (n) => !document.getElementById(n + '-screen').hidden, name);
const messageShown = (page) => until(page, () => !document.getElementById('message').hidden);

async function axe(page, what) {
  if (!(await page.evaluate(() => typeof window.axe !== 'undefined'))) await page.evaluate(axeSource);
  const result = await page.evaluate(() => window.axe.run(document, {
    runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] }, iframes: false }));
  const found = result.violations.map((v) => v.id + ' (' + v.nodes.map((n) => n.target.join(' ')).join(', ') + ')');
  check(found.length === 0, 'axe: ' + what + (found.length ? ': ' + found.join('; ') : ''));
}

// No horizontal scrolling at the page's size; a screenshot to look at.
async function fits(page, name) {
  const wide = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
  const { width } = page.viewport();
  check(wide <= 0, `${name} at ${width} px: no horizontal scroll (${wide})`);
  await page.screenshot({ path: path.join(out, `web-${name}-${width}.png`) });
}

async function atBothSizes(page, name) {
  for (const [w, h] of [[360, 640], [1366, 768]]) {
    await page.setViewport({ width: w, height: h });
    await fits(page, name);
  }
}

async function menu(page, caption) {
  // On a phone the menu bar opens from its button first.
  await page.$eval('#menu-toggle', (t) => { if (t.offsetParent && t.getAttribute('aria-expanded') !== 'true') t.click(); });
  const [button] = await page.$$(`xpath/.//ul[@id="menu"]/li/button[normalize-space(.)="${caption}"]`);
  return button;
}
async function menuItem(page, caption) {
  const [button] = await page.$$(`xpath/.//ul[contains(@class,"submenu")]//button[starts-with(normalize-space(.),"${caption}")]`);
  return button;
}
async function choose(page, top, item) {
  await (await menu(page, top)).click();
  await (await menuItem(page, item)).click();
}

async function signInAs(page, name, password) {
  await page.$eval('#name', (e) => { e.value = ''; });
  await page.$eval('#password', (e) => { e.value = ''; });
  await page.type('#name', name);
  await page.type('#password', password);
  await page.click('#signin');
}

// The right answers of test 1 as the teacher's tool shows them.
function rightAnswers(dir, test) {
  const shown = execFileSync(testsProgram, ['show', path.join(dir, `data/tests/${test}.ini`)], { encoding: 'utf8' });
  return [...shown.matchAll(/Правильный ответ: (\d)/g)].map((m) => Number(m[1]));
}

const student = '<b>Aigerim</b> Сәтбаева';
const password = 'Сабақ-2026';
let seenGrades = null;
let main;
let page;

try {
  main = await startServer(courseCopy('course'));
  const base = `https://127.0.0.1:${main.port}`;
  page = await newPage();

  // --- Title: the deployment texts, markup shown as typed.
  const served = await page.goto(base + '/', { waitUntil: 'networkidle0' });
  const headers = served.headers();
  check(/script-src 'self'/.test(headers['content-security-policy']) && !/unsafe-inline'[^;]*;?/.test(
    headers['content-security-policy'].split(';').find((d) => d.includes('script-src'))) &&
    /frame-ancestors 'none'/.test(headers['content-security-policy']),
  'the page\'s policy: scripts of this server only, in no frame');
  check(headers['x-content-type-options'] === 'nosniff' && headers['referrer-policy'] === 'no-referrer',
    'the page\'s headers: nosniff, no referrer');
  check(/HttpOnly/.test(headers['set-cookie']) && /Secure/.test(headers['set-cookie']) &&
    /SameSite=Strict/.test(headers['set-cookie']), 'the page\'s cookie: HttpOnly, Secure, SameSite=Strict');
  await until(page, () => document.getElementById('t-institution').textContent !== '');
  check(await visible(page, 'title-screen'), 'the title screen comes first');
  check((await text(page, '#t-institution')) === '<img src=x id=injected>Университет <b>КазНУ</b>',
    'title: the institution as typed in the deployment texts');
  check(!(await page.$('#injected')) && !(await page.$('#t-institution b')), 'title: no markup of a course text');
  await axe(page, 'title');
  await atBothSizes(page, 'title');
  await screenShown(page, 'signin'); // it closes by itself after 3 s
  check(!(await menu(page, 'Дәрістер және тесттлеу')), 'before sign-in: no lectures and tests in the menu');
  await axe(page, 'sign-in');
  await atBothSizes(page, 'signin');

  // --- Sign-in and registration refusals, registration.
  await signInAs(page, student, 'wrong');
  await messageShown(page);
  check((await message(page)) === 'Проверьте правильность имени и пароля!', 'an unknown name is refused');
  await page.$eval('#password', (e) => { e.value = ''; });
  await page.type('#password', password);
  await page.click('#register');
  await until(page, () => /зарегистрирован/.test(document.getElementById('message').textContent));
  check((await message(page)) === 'Пользователь зарегистрирован.Нажмите "Далее>>"', 'registration: the desktop message');
  await page.$eval('#message', (e) => { e.textContent = ''; });
  await page.click('#register');
  await until(page, () => /уже зарегистрирован/.test(document.getElementById('message').textContent));
  check((await message(page)) === 'Пользователь с таким именем уже зарегистрирован. Выберите другое имя.',
    'registration of a taken name: the desktop refusal');
  await signInAs(page, student, password + 'x');
  await until(page, () => document.getElementById('message').textContent.startsWith('Проверьте'));
  check((await message(page)) === 'Проверьте правильность имени и пароля!', 'a wrong password is refused');
  await axe(page, 'sign-in with a message');

  // --- The administrator keeps the desktop program.
  const records = () => fs.readFileSync(path.join(main.dir, 'users.ini'), 'latin1');
  const recordsBefore = records();
  await signInAs(page, 'admin', 'admin');
  await until(page, () => /администратора закрыт/.test(document.getElementById('message').textContent));
  check(await visible(page, 'signin-screen'), 'an administrator sign-in is refused with a message that says so');
  check(records() === recordsBefore, 'the refused administrator sign-in writes no record');

  // --- Deletion of one's own record (asked first; the dialog is accepted).
  await signInAs(page, 'Уақытша', 'pw-temp');
  await page.click('#register');
  await until(page, () => /зарегистрирован/.test(document.getElementById('message').textContent));
  await page.click('#delete');
  await until(page, () => /удалены/.test(document.getElementById('message').textContent));
  check((await message(page)) === 'Пользователь «Уақытша» и все его оценки удалены.', 'deletion: the desktop message');

  // --- Sign-in: the help page, the student's name as typed, topic 2 locked.
  await signInAs(page, student, 'wrong-again');
  await until(page, () => document.getElementById('message').textContent.startsWith('Проверьте'));
  await signInAs(page, student, password);
  await screenShown(page, 'viewer');
  check((await text(page, '#who')) === student && !(await page.$('#who b')), 'the name with markup shown as typed');
  check((await page.evaluate(() => document.cookie)) === '', 'the session cookie is out of the script\'s reach');
  check((await page.$eval('#doc', (f) => f.src)).endsWith('/course/data/help/sod.htm'), 'sign-in shows the help page');
  await (await menu(page, 'Дәрістер және тесттлеу')).click();
  const lockedTest2 = await menuItem(page, 'Тестирование №2');
  check(lockedTest2 && (await lockedTest2.evaluate((b) => b.getAttribute('aria-disabled'))) === 'true',
    'test 2 is shown locked before test 1 is passed');
  check(!(await menuItem(page, '6. Тасымалдау')), 'topics 6 to 10 are not in the menu, as on the desktop');
  await axe(page, 'menu open');
  await fits(page, 'menu');
  await page.keyboard.press('Escape');
  await page.setViewport({ width: 360, height: 640 });
  await (await menu(page, 'Дәрістер және тесттлеу')).click();
  await axe(page, 'menu open on a phone');
  await fits(page, 'menu');
  await page.keyboard.press('Escape');
  await page.setViewport({ width: 1366, height: 768 });

  // --- A lecture inside the page: its picture, a link to the next lecture staying inside, no script.
  await choose(page, 'Дәрістер және тесттлеу', '1 Кеңістік-уақыт');
  const frame = await (await page.$('#doc')).contentFrame();
  await frame.waitForSelector('#pic');
  await until(page, () => document.getElementById('doc').contentDocument?.getElementById('pic')?.complete);
  check(await frame.$eval('#pic', (i) => i.naturalWidth > 0), 'lecture: its picture is shown');
  check(await frame.$eval('h1', (h) => /Кинематика|кинематикасы/.test(h.textContent)), 'lecture 1 is shown inside the page');
  check((await page.title()) === 'Ортавия', 'a script of a course page does not run');
  await axe(page, 'viewer');
  await atBothSizes(page, 'viewer');
  await frame.click('#next');
  await until(page, () => /lig-2\.html$/.test(document.getElementById('doc').contentWindow.location.href));
  check(page.url() === base + '/', 'a link between course pages stays inside the page');
  const next = await (await page.$('#doc')).contentFrame();
  await next.evaluate(() => {
    const a = document.createElement('a');
    a.href = 'https://example.org/'; a.id = 'out'; a.textContent = 'out';
    document.body.append(a);
  });
  await next.click('#out');
  await messageShown(page);
  check(/за пределы курса/.test(await message(page)), 'a link out of the course is told, not followed');
  const frameUrl = await page.evaluate(() => { try { return document.getElementById('doc').contentWindow.location.href; } catch (e) { return 'cross-origin'; } });
  check(frameUrl.startsWith(base + '/course/'), 'a link out of the course does not leave the course (' + frameUrl + ')');
  policyViolations.length = 0; // the course page's own script and link out, refused as they must be

  // --- Slide shows: listed, opening on the lab computers.
  await choose(page, 'Презентациялар', 'Модули скорости');
  await messageShown(page);
  check(/на компьютерах класса/.test(await message(page)), 'a slide show tells that it opens on the lab computers');
  await choose(page, 'Көмек', 'Автор туралы');
  await screenShown(page, 'about');
  await axe(page, 'about');

  // --- Test 1 by keyboard alone: nine right answers of twelve give 4.
  const right = rightAnswers(main.dir, 'test1');
  check(right.length === 12, 'test 1 has 12 questions');
  let found = false;
  for (let i = 0; i < 40 && !found; ++i) {
    await page.keyboard.down('Shift'); await page.keyboard.press('Tab'); await page.keyboard.up('Shift');
    found = await page.evaluate(() => document.activeElement.textContent === 'Дәрістер және тесттлеу');
  }
  check(found, 'the menu is reached with Tab');
  await page.keyboard.press('Enter');
  for (let i = 0; i < 3; ++i) {
    if (await page.evaluate(() => document.activeElement.textContent === 'Тестирование №1')) break;
    await page.keyboard.press('ArrowDown');
  }
  await page.keyboard.press('Enter');
  await screenShown(page, 'test');
  check(!(await menu(page, 'Дәрістер және тесттлеу')), 'during a test the lectures and tests are not in the menu');
  for (let n = 1; n <= 12; ++n) {
    await until(page, (k) => document.getElementById('counter').textContent.startsWith(k + ' из'), n);
    check((await text(page, '#counter')) === `${n} из 12`, `question ${n}: «${n} из 12»`);
    if (n === 11) {
      await until(page, () => document.querySelector('#question img')?.complete);
      check(await page.$eval('#question img', (i) => i.naturalWidth > 0 && i.alt === 'Рисунок vt-graph.svg'),
        'a question\'s figure is shown in its place');
    }
    if (n === 1) {
      await axe(page, 'test');
      await atBothSizes(page, 'test');
    }
    const want = n <= 9 ? right[n - 1] : (right[n - 1] % 5) + 1; // the last three wrong
    if (want === 1) {
      await page.keyboard.press('Space');
    } else {
      for (let k = 1; k < want; ++k) await page.keyboard.press('ArrowDown');
    }
    await page.keyboard.press(n % 2 ? 'Enter' : 'Space');
  }
  await screenShown(page, 'progress');
  check((await text(page, '#right-count')) === 'Правильных ответов: 9 из 12', 'after the run: the right count');
  const grades = await page.$$eval('#grades tr', (rows) => rows.map((r) => [r.children[0].textContent, r.children[1].textContent]));
  check(grades.length === 10 && grades[0][0] === 'Тест №1' && grades[0][1] === '4', 'the progress screen: test 1 graded 4');
  check((await text(page, '#progress-name')) === student, 'the progress screen: the name as typed');
  await axe(page, 'progress');
  await atBothSizes(page, 'progress');
  seenGrades = grades.map((g) => Number(g[1]));

  // The server's files: the journal line and the record, as the desktop writes them.
  const journal = fs.readFileSync(path.join(main.dir, 'journal.txt'), 'latin1');
  check(/ \| test1 \| 4\r\n$/.test(journal), 'the journal line of the run');
  const answers = fs.readFileSync(path.join(main.dir, 'answers.log'), 'latin1').trim().split('\r\n');
  check(answers.length === 12, 'twelve lines in the answer log');

  // Back: the next topic is open.
  await page.click('#progress-back');
  await screenShown(page, 'viewer');
  await (await menu(page, 'Дәрістер және тесттлеу')).click();
  for (const item of ['2 Салыстырмалылық', 'Тестирование №2']) {
    const b = await menuItem(page, item);
    check(b && (await b.evaluate((e) => e.getAttribute('aria-disabled'))) === null, `after the pass: «${item}…» open`);
  }
  check((await menuItem(page, 'Тестирование №3').then((b) => b.evaluate((e) => e.getAttribute('aria-disabled')))) === 'true',
    'test 3 stays locked');
  await page.keyboard.press('Escape');

  // --- What the page's script may not do: an administrator route, a change without the token.
  const probe = await page.evaluate(async () => {
    const csrf = { 'Content-Type': 'application/json' };
    const admin = await fetch('/api/admin/users');
    const adminPost = await fetch('/api/admin/options', { method: 'POST', headers: csrf, body: '{"draw":1}' });
    const noToken = await fetch('/api/run/start', { method: 'POST', headers: csrf, body: '{"test":"test1"}' });
    const lockedRun = await fetch('/api/run/start', { method: 'POST', headers: { ...csrf, 'X-CSRF-Token': state.csrf },
      body: '{"test":"test3"}' });
    return [admin.status, adminPost.status, noToken.status, lockedRun.status];
  });
  check(probe[3] === 403, `a locked test cannot be started through the routes (${probe[3]})`);
  check(probe[0] === 403 && probe[1] === 403, `a student cannot reach an administrator route (${probe[0]}, ${probe[1]})`);
  check(probe[2] === 403, `a change without the session's token is refused (${probe[2]})`);
  check(!fs.existsSync(path.join(main.dir, 'data/info/options.ini')), 'no options were written');

  // --- Cross-site: forms of another site (a plain page on another port of this computer).
  const formPage = (action) => '<!DOCTYPE html><html lang="en"><title>other site</title><body>' +
    `<form id="f" method="post" enctype="text/plain" action="${action}">` +
    '<input name=\'{"name":"evil","password":"x","test":"test1","pad":"\' value=\'"}\'></form></body></html>';
  const other = http.createServer((req, res) => {
    res.setHeader('Content-Type', 'text/html; charset=utf-8');
    res.end(formPage(base + decodeURIComponent(req.url.slice(1))));
  });
  await new Promise((r) => other.listen(0, '127.0.0.1', r));
  const evil = await newPage();
  const listed = () => fs.readFileSync(path.join(main.dir, 'users'), 'latin1');
  for (const route of ['/web/register', '/api/register', '/web/signin', '/api/run/start', '/web/signout']) {
    await evil.goto(`http://localhost:${other.address().port}/${encodeURIComponent(route)}`);
    const [response] = await Promise.all([evil.waitForNavigation(), evil.$eval('#f', (f) => f.submit())]);
    const status = response ? response.status() : 0;
    check(status === 403 || status === 401, `a cross-site form post to ${route} is refused (${status})`);
  }
  other.close();
  check(!/evil/.test(listed()), 'nobody was registered by another site');
  const stillSignedIn = await page.evaluate(async () => (await fetch('/web/me')).status);
  check(stillSignedIn === 200, 'the session survives the other site\'s posts');
  await evil.close();

  // --- Sign-out.
  await (await menu(page, 'Шығу')).click();
  await screenShown(page, 'signin');
  check((await page.evaluate(async () => (await fetch('/web/me')).status)) === 401, 'after sign-out the session is gone');

  // --- An expired session (a server whose sessions last 2 s).
  const short = await startServer(courseCopy('short'), ['--session-timeout', '2']);
  const p2 = await newPage(360, 640);
  await p2.goto(`https://127.0.0.1:${short.port}/`, { waitUntil: 'networkidle0' });
  await p2.click('#title-close');
  await signInAs(p2, 'Ерлан', 'parol-1');
  await messageShown(p2);
  await p2.click('#register');
  await until(p2, () => /зарегистрирован/.test(document.getElementById('message').textContent));
  await p2.click('#signin');
  await screenShown(p2, 'viewer');
  await new Promise((r) => setTimeout(r, 3500));
  await choose(p2, 'Басқару', 'Информация об успеваемости');
  await screenShown(p2, 'signin');
  check((await message(p2)) === 'Сеанс закончился. Войдите снова.', 'an expired session: back to sign-in, told why');
  await p2.close();

  check(policyViolations.length === 0, 'no Content-Security-Policy violation of the page itself: ' + policyViolations.join(' | '));
  check(pageErrors.length === 0, 'no script error: ' + pageErrors.join(' | '));
} catch (e) {
  const shown = page ? await message(page).catch(() => '') : '';
  check(false, 'the run: ' + (e.stack || e) + (shown ? '\n  the page said: ' + shown : ''));
} finally {
  await browser.close();
}

// --- The same student at the desktop program against the same server.
if (env.ORTAVIA_AFTER_WEB && main && seenGrades) {
  try {
    execFileSync(env.ORTAVIA_AFTER_WEB, [`127.0.0.1:${main.port}`, main.fingerprint, student, password,
      seenGrades.join(',')], { stdio: 'inherit', env: { ...env, QT_QPA_PLATFORM: 'offscreen' } });
    check(true, 'the desktop client sees the same grades');
  } catch (e) {
    check(false, 'the desktop client sees the same grades');
  }
}

for (const s of servers) s.kill('SIGTERM');
fs.rmSync(work, { recursive: true, force: true });
console.log(failures.length ? `${failures.length} check(s) failed` : 'all checks passed');
process.exit(failures.length ? 1 : 0);
