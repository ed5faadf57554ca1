#!/usr/bin/python3
"""The service's web page in a real browser (headless chromium over chromedriver).

Everything runs on loopback: a feed server on 127.0.0.1, a signsim on
127.0.0.2 (sign "lobby"), a second sign whose feed is missing ("canteen",
failing), and orlavod with --web on 127.0.0.1 behind a token. As a user: the
page first asks for the token; a wrong one is refused, the right one shows
the lobby's headlines in its preview; the kiosk address /?token=... does the
same without the form; an announcement typed into the form reaches the
signsim and the preview, and ending it brings the headlines back; a period
typed into the settings form and saved lands in the settings file; the API
answers 401 to a request without the token.

    web_page_test.py ORLAVOD SIGNSIM [--screenshots DIR]

With --screenshots (or ORLAVO_SCREENSHOTS=DIR) it also saves web-desktop.png
and web-phone.png there.
"""
import argparse
import html
import http.server
import os
import pathlib
import re
import socket
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

TOKEN = 'kiosk-7f3a9c'
HEADLINES = ['Browser headline one', 'Browser headline two']
ANNOUNCEMENT = 'Fire drill at <b>three</b>'  # markup must reach the page as text
WAIT_SECONDS = 30  # a guard against a hang, far beyond a sanitizer build's pace
# Without these chromium keeps reaching for the network it does not have.
CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                  '--disable-background-networking', '--disable-component-update', '--disable-sync',
                  '--disable-dev-shm-usage']


class Failure(Exception):
    pass


def free_port(host, kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def wait_for(what, condition, seconds=WAIT_SECONDS):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise Failure(f'timed out waiting for {what}')


def serve_feed(folder):
    """A feed server on 127.0.0.1 for the files in folder, on its own thread."""
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=str(folder), **kwargs)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Quiet)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def settings(address, port, feed):
    return (f'[CommMethod]\r\nREMOTEIP={address}\r\nREMOTEPORT={port}\r\nEMBEDDED=0\r\nETHERNET=1\r\n'
            f'SERIAL=0\r\n[AccessPoint]\r\nACCESSPOINTIP0={feed}\r\n')


class Rig:
    """The feed server, signsim and orlavod, their logs in a scratch folder."""

    def __init__(self, orlavod, signsim, scratch):
        self.dir = scratch
        self.paths = (orlavod, signsim)
        self.processes = []
        self.feeds = None

    def start_all(self):
        orlavod, signsim = self.paths
        scratch = self.dir
        (scratch / 'www').mkdir()
        items = ''.join(f'<item><title>{html.escape(h)}</title></item>' for h in HEADLINES)
        (scratch / 'www' / 'feed.xml').write_text(f'<rss><channel>{items}</channel></rss>')
        self.feeds = serve_feed(scratch / 'www')
        feed_url = f'http://127.0.0.1:{self.feeds.server_address[1]}'

        # Each child ends with the test, even when the test is killed.
        self.signsim_out = scratch / 'signsim.out'
        signsim_log = scratch / 'signsim.log'
        self.start([signsim, '--bind', '127.0.0.2', '--port', '0'], self.signsim_out, signsim_log)
        listening = wait_for('signsim to listen',
                             lambda: re.search(r'listening for frames on UDP [0-9.]+:(\d+)', signsim_log.read_text()))
        (scratch / 'lobby.ini').write_text(settings('127.0.0.2', listening.group(1), f'{feed_url}/feed.xml'))
        (scratch / 'canteen.ini').write_text(
            settings('127.0.0.3', free_port('127.0.0.3', socket.SOCK_DGRAM), f'{feed_url}/missing.xml'))

        self.base = f'http://127.0.0.1:{free_port("127.0.0.1")}'
        self.orlavod_log = scratch / 'orlavod.log'
        self.orlavod = self.start([orlavod, '--settings', str(scratch / 'lobby.ini'),
                                   '--settings', str(scratch / 'canteen.ini'), '--update-now',
                                   '--web', self.base.removeprefix('http://'), '--web-token', TOKEN],
                                  subprocess.DEVNULL, self.orlavod_log)
        wait_for('the web control to listen', self.web_up)

    def start(self, argv, out, err):
        stdout = out if out == subprocess.DEVNULL else open(out, 'w')
        process = subprocess.Popen(['setpriv', '--pdeathsig', 'KILL', *map(str, argv)],
                                   stdout=stdout, stderr=open(err, 'w'))
        self.processes.append(process)
        return process

    def web_up(self):
        if self.orlavod.poll() is not None:
            raise Failure(f'orlavod exited {self.orlavod.returncode}')
        try:
            socket.create_connection(('127.0.0.1', int(self.base.rsplit(':', 1)[1])), 0.2).close()
            return True
        except OSError:
            return False

    def sign_shows(self, text):
        return any(text in line for line in self.signsim_out.read_text().splitlines() if line.startswith('MESSAGE '))

    def stop(self):
        """Ends orlavod with SIGTERM and checks that it stopped cleanly."""
        self.orlavod.terminate()
        if (status := self.orlavod.wait(WAIT_SECONDS)) != 0:
            raise Failure(f'orlavod exited {status} after SIGTERM')

    def close(self):
        for process in self.processes:
            process.kill()
            process.wait()
        if self.feeds:
            self.feeds.shutdown()

    def logs(self):
        for log in sorted(self.dir.glob('*.log')) + [self.signsim_out]:
            print(f'--- {log.name}', file=sys.stderr)
            print(log.read_text(errors='replace')[-6000:], file=sys.stderr)


def browser(scratch):
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for flag in CHROMIUM_FLAGS + [f'--user-data-dir={scratch / "chromium"}']:
        options.add_argument(flag)
    return webdriver.Chrome(service=Service('/usr/bin/chromedriver', log_path=str(scratch / 'chromedriver.txt')),
                            options=options)


class Page:
    def __init__(self, driver, base):
        self.driver = driver
        self.base = base

    def wait(self, what, condition):
        try:
            return WebDriverWait(self.driver, WAIT_SECONDS, poll_frequency=0.05).until(lambda d: condition())
        except TimeoutException:
            raise Failure(f'timed out waiting for {what}') from None

    def open(self, path):
        self.driver.get(self.base + path)

    def shown(self, element_id):
        return self.driver.find_element(By.ID, element_id).is_displayed()

    def card(self, name):
        return self.driver.find_element(By.XPATH, f'//article[.//h2[text()="{name}"]]')

    def preview(self, name):
        cards = self.driver.find_elements(By.XPATH, f'//article[.//h2[text()="{name}"]]//div[@class="track"]')
        return cards[0].get_attribute('textContent') if cards else ''

    def type_into_focus(self, *keys):
        self.driver.switch_to.active_element.send_keys(*keys)

    def api_json(self, path):
        """The answer to a fetch from the page with its cookie."""
        return self.driver.execute_async_script(
            'const done = arguments[arguments.length - 1];'
            'fetch(arguments[0]).then((r) => r.json()).then(done, (e) => done({}));', path)

    def api_status(self, path):
        """The status of a fetch from the page that sends no cookie or token."""
        return self.driver.execute_async_script(
            'const done = arguments[arguments.length - 1];'
            'fetch(arguments[0], {credentials: "omit"}).then((r) => done(r.status), (e) => done(String(e)));', path)


def check_page(page, rig, screenshots):
    page.open('/')
    page.wait('the login form', lambda: page.shown('login'))
    if page.shown('signs'):
        raise Failure('the signs are shown before the login')
    for path in ['/api/v1/signs', '/api/v1/signs/lobby/settings']:
        if (status := page.api_status(path)) != 401:
            raise Failure(f'{path} without the token answered {status}, not 401')

    # The token field has the focus: a wrong token is refused, the right one lets in.
    page.type_into_focus('not-the-token', Keys.ENTER)
    page.wait('the wrong token to be refused', lambda: page.driver.find_element(By.ID, 'login-error').text)
    page.type_into_focus(Keys.CONTROL, 'a')
    page.type_into_focus(TOKEN, Keys.ENTER)
    page.wait("the lobby's headlines in its preview", lambda: all(h in page.preview('lobby') for h in HEADLINES))
    if page.api_status('/api/v1/signs') != 401:
        raise Failure('the API answered a fetch without the cookie')

    # A kiosk bookmark carries the token in the address; it leaves the address bar.
    page.driver.delete_all_cookies()
    page.open(f'/?token={TOKEN}')
    page.wait('the headlines from the kiosk address', lambda: HEADLINES[0] in page.preview('lobby'))
    if 'token' in page.driver.current_url:
        raise Failure(f'the token stayed in the address: {page.driver.current_url}')
    page.wait('the canteen to show its failure',
              lambda: page.card('canteen').find_element(By.CLASS_NAME, 'failing').is_displayed())

    if screenshots:
        take_screenshots(page, screenshots)

    lobby = page.card('lobby')
    lobby.find_element(By.CSS_SELECTOR, 'form.announce input[type="text"]').click()
    page.type_into_focus(ANNOUNCEMENT)
    lobby.find_element(By.XPATH, './/button[text()="Send"]').click()
    wait_for('the announcement on the signsim', lambda: rig.sign_shows(ANNOUNCEMENT))
    page.wait('the announcement in the preview', lambda: ANNOUNCEMENT in page.preview('lobby'))
    if ANNOUNCEMENT in page.preview('canteen'):
        raise Failure("the lobby's announcement reached the canteen's card")
    lobby.find_element(By.XPATH, './/button[text()="End announcement"]').click()
    page.wait('the headlines back in the preview', lambda: HEADLINES[0] in page.preview('lobby'))

    # A setting typed into the form and saved is what the service reads back.
    period = lobby.find_element(By.CSS_SELECTOR, 'form.settings input[type="number"]')
    period.click()
    page.type_into_focus(Keys.CONTROL, 'a')
    page.type_into_focus('25')
    lobby.find_element(By.XPATH, './/button[text()="Save"]').click()
    page.wait('the saved period', lambda: page.api_json('/api/v1/signs/lobby/settings').get('update_period') == 25)
    wait_for('the period in the settings file',
             lambda: re.search(r'^UpdatePeriod=25\r?$', (rig.dir / 'lobby.ini').read_text(), re.I | re.M))


def take_screenshots(page, folder):
    folder.mkdir(parents=True, exist_ok=True)
    for name, width, height, mobile in [('web-desktop.png', 1280, 1024, False), ('web-phone.png', 412, 915, True)]:
        page.driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                                    {'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': mobile})
        # A fresh load starts each preview at its first message.
        page.open('/')
        page.wait('the headlines after the resize', lambda: HEADLINES[0] in page.preview('lobby'))
        page.driver.save_screenshot(str(folder / name))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('orlavod')
    parser.add_argument('signsim')
    parser.add_argument('--screenshots', type=pathlib.Path, default=os.environ.get('ORLAVO_SCREENSHOTS'))
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix='web-page-test-') as name:
        scratch = pathlib.Path(name)
        # The service and the browser keep their files in the scratch folder,
        # never in the user's own configuration.
        for variable, folder in [('HOME', 'home'), ('XDG_CONFIG_HOME', 'config'), ('XDG_RUNTIME_DIR', 'run')]:
            (scratch / folder).mkdir(mode=0o700)
            os.environ[variable] = str(scratch / folder)
        rig = Rig(args.orlavod, args.signsim, scratch)
        try:
            rig.start_all()
            driver = browser(scratch)
            try:
                check_page(Page(driver, rig.base), rig, args.screenshots and args.screenshots.resolve())
            except Exception:
                with open(scratch / 'console.log', 'w') as console:
                    for entry in driver.get_log('browser'):
                        print(entry.get('message'), file=console)
                raise
            finally:
                driver.quit()
            rig.stop()
        except Exception as failure:
            print(f'FAIL: {failure}', file=sys.stderr)
            rig.logs()
            return 1
        finally:
            rig.close()
    print('web page: passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
