#!/usr/bin/env python3
"""Drives the live view page in headless Chromium.

Usage: live_view_browser.py URL TITLE READY_FILE STOPPED_FILE
Checks the page, the picture and its changes, the fallback to snapshots when the stream is
refused; then writes READY_FILE and waits for the test to stop Oculet (STOPPED_FILE appears), after
which the page must say that the picture has stopped. Prints what failed and exits 1 on failure.
"""
import os
import shutil
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

url, title, ready_file, stopped_file = sys.argv[1:5]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
    return ok


def wait(condition, seconds):
    end = time.time() + seconds
    while time.time() < end:
        try:
            if condition():
                return True
        except Exception:  # the page may be between loads
            pass
        time.sleep(0.1)
    return False


PIXELS = """
const img = document.getElementById('picture');
const c = document.createElement('canvas'); c.width = 320; c.height = 240;
c.getContext('2d').drawImage(img, 0, 0, 320, 240);
return c.toDataURL('image/png');
"""

profile = tempfile.mkdtemp(prefix='oculet-chromium-')
options = webdriver.ChromeOptions()
options.binary_location = shutil.which('chromium') or '/usr/bin/chromium'
for flag in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync',
             '--disable-dev-shm-usage', '--user-data-dir=' + profile, '--window-size=1280,1000'):
    options.add_argument(flag)
driver = webdriver.Chrome(service=Service(shutil.which('chromedriver') or '/usr/bin/chromedriver'), options=options)
try:
    driver.set_page_load_timeout(20)
    driver.get(url)
    natural = lambda: driver.execute_script(
        "const i = document.getElementById('picture'); return [i.complete, i.naturalWidth, i.naturalHeight];")
    check(wait(lambda: natural()[1] > 0, 10), 'the stream shows no picture')
    check(natural()[1:] == [320, 240], 'the picture is %r, not 320 x 240' % (natural()[1:],))
    check(driver.find_element('id', 'title').text == title, 'the title is %r' % driver.find_element('id', 'title').text)
    check(wait(lambda: driver.find_element('id', 'time').text not in ('', '-'), 5), 'no time of the last frame')
    first = driver.execute_script(PIXELS)
    check(wait(lambda: driver.execute_script(PIXELS) != first, 6), 'the streamed picture does not change')
    check(driver.execute_script("return document.getElementById('picture').dataset.mode") is None,
          'the page fell back to snapshots while the stream works')

    # The stream refused: the page shows the snapshot instead, and it is renewed.
    driver.execute_cdp_cmd('Network.enable', {})
    driver.execute_cdp_cmd('Network.setBlockedURLs', {'urls': ['*stream.mjpg*']})
    driver.get(url)
    mode = lambda: driver.execute_script("return document.getElementById('picture').dataset.mode")
    check(wait(lambda: mode() == 'snapshot' and natural()[1:] == [320, 240], 10), 'no fallback to snapshots')
    check(wait(lambda: 'snapshot.jpg' in driver.execute_script("return document.getElementById('picture').src"), 5),
          'the fallback does not show the snapshot')
    first = driver.execute_script(PIXELS)
    check(wait(lambda: driver.execute_script(PIXELS) != first, 6), 'the snapshot picture is not renewed')
    check(driver.find_element('id', 'state').text == '', 'the page says the picture stopped while it runs')

    open(ready_file, 'w').close()
    check(wait(lambda: os.path.exists(stopped_file), 20), 'Oculet was not stopped')
    check(wait(lambda: 'stopped' in driver.find_element('id', 'state').text, 15),
          'the page does not say that the picture has stopped')
finally:
    driver.quit()
    shutil.rmtree(profile, ignore_errors=True)

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
