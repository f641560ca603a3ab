"""The web front panel in a real browser: headless Chromium driven by
Selenium against --serve with a user. The page loads with nothing fetched
from elsewhere and shows each channel's strip, live; its controls wait for a
sign-in; signed in, "10.5k" typed as channel 1's start frequency and Update
reach the card (a SCPI query and the simulator's journal say so); a value
beyond the range is refused in the page and nothing is sent; a change made
by a HiSLIP client appears in the open page, and an edit under way is kept
with a note of who changed what; a client holding the panel holds the
page's controls; Update is reached and pressed with the keyboard alone; a
CSV file is drawn before it is loaded and a text waveform loaded, drawn and
downloaded; an upload of 100 MB is refused; Identify is said by --serve; a
PyVISA client's change reaches a page open without signing in; the page at
1280 and 390 pixels and at twice the pixels. Requests without a session or
token, and from another origin, are refused.

Usage: web_panel.py PROGRAM SIM_DIR OUT_DIR"""
import json
import os
import re
import shutil
import socket
import ssl
import subprocess
import sys
import time
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

from hislip_client import Hislip
from served_run import ServedRun

run = ServedRun("web")
program, out_dir, users, journal, env, check = (run.program, run.out_dir, run.users,
                                                run.journal, run.env, run.check)
run.add_user("alice", "s3cret").check_returncode()
server = subprocess.Popen([program, "--serve", "--resource", "PXI1::13::INSTR", "--port", "0",
                           "--hislip", "0", "--no-vxi11", "--http-port", "0", "--https-port", "0",
                           "--no-mdns",
                           "--users", users], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True, env=env)
said = ""
while "https://" not in said:
    said += server.stdout.readline()
https = re.search(r"(https://127\.0\.0\.1:\d+)/", said).group(1)
raw_port = int(re.search(r"Listening on 127\.0\.0\.1:(\d+)", said).group(1))
hislip_port = int(re.search(r"hislip0,(\d+)", said).group(1))
base = re.search(r"(http://127\.0\.0\.1:\d+)/", said).group(1)
intro = ""
while "TLS certificate" not in intro:
    intro += server.stderr.readline()
cert_file = re.search(r"TLS certificate: (\S+)", intro).group(1)



def ask(line):
    with socket.create_connection(("127.0.0.1", raw_port), 5) as s:
        s.sendall(line.encode() + b"\n")
        return s.makefile().readline().strip()


def post(path, body, headers=None):
    request = urllib.request.Request(base + path, data=json.dumps(body).encode(),
                                     headers={"Content-Type": "application/json",
                                              **(headers or {})})
    try:
        with urllib.request.urlopen(request, timeout=5) as r:
            return r.status
    except urllib.error.HTTPError as e:
        return e.code


options = webdriver.ChromeOptions()
for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--window-size=1280,900"):
    options.add_argument(argument)
browser = webdriver.Chrome(options=options, service=Service(shutil.which("chromedriver")))
wait = WebDriverWait(browser, 10)
try:
    # Hostile requests first: no session, a forged origin.
    check("a change without a session", post("/api/send", {"channel": 1, "values": {}}), 401)
    check("a sign-in from another site",
          post("/api/login", {"user": "alice", "password": "s3cret"},
               {"Origin": "http://evil.example"}), 403)

    # Over HTTPS the session's cookie is Secure too.
    headers = subprocess.run(["curl", "-s", "-D", "-", "-o", "/dev/null", "--cacert", cert_file,
                              "-H", "Content-Type: application/json", "-d",
                              '{"user":"alice","password":"s3cret"}', https + "/api/login"],
                             capture_output=True, text=True, timeout=30).stdout
    cookie = re.search(r"(?im)^set-cookie: (.*)$", headers)
    check("the HTTPS session cookie", cookie and cookie.group(1).strip().endswith(
        "HttpOnly; SameSite=Strict; Max-Age=3600; Secure"), True)

    browser.get(base + "/panel")
    wait.until(lambda b: b.find_element(By.ID, "link").text == "Live")
    check("the strip shown", browser.find_element(By.ID, "strip1").text.startswith("1 "), True)
    frequency = browser.find_element(By.ID, "c1-Wave-StartF")
    check("controls wait for a sign-in", frequency.is_enabled(), False)
    browser.find_element(By.ID, "user").send_keys("alice")
    browser.find_element(By.ID, "password").send_keys("s3cret")
    browser.find_element(By.ID, "signin-button").click()
    wait.until(lambda b: b.find_element(By.ID, "who").text == "alice")
    wait.until(lambda b: frequency.is_enabled())

    frequency.clear()
    frequency.send_keys("10.5k")
    check("an edit is marked unsent", "unsent" in frequency.get_attribute("class"), True)
    browser.find_element(By.ID, "update1").click()
    wait.until(lambda b: b.find_element(By.ID, "message1").text != "")
    check("Update said", browser.find_element(By.ID, "message1").text, "Sent.")
    check("the card has it", ask("SOUR1:FREQ?"), "10500")
    calls = open(journal).read()
    check("the journal has it", "nv815_GenerateSignal" in calls, True)

    attenuation = browser.find_element(By.ID, "c1-Wave-Attenuation")
    attenuation.clear()
    attenuation.send_keys("500")
    sent_before = open(journal).read()
    browser.find_element(By.ID, "update1").click()
    wait.until(lambda b: "must be from" in b.find_element(By.ID, "message1").text)
    check("nothing sent for a refused value", open(journal).read(), sent_before)

    # A HiSLIP client signed in changes channel 2: the page follows, and
    # an edit under way of channel 2's attenuation is kept with a note.
    edit = browser.find_element(By.ID, "c2-Wave-Attenuation")
    edit.clear()
    edit.send_keys("7")
    client = Hislip(hislip_port)
    client.start_tls(ssl.create_default_context(cafile=cert_file))
    client.sign_in("SCRAM-SHA-256", "alice", "s3cret")
    client.ask("OUTP2:ATT 12")
    client.ask("*OPC?")
    wait.until(lambda b: "12dB" in b.find_element(By.ID, "strip2").text)
    note = browser.find_elements(By.CSS_SELECTOR, "#c2-Wave-Attenuation ~ span")
    check("the edit kept", edit.get_attribute("value"), "7")
    said_note = browser.execute_script(
        "return document.getElementById('c2-Wave-Attenuation').closest('label')"
        ".nextElementSibling.textContent")
    check("who changed what is said", said_note.startswith("Changed elsewhere to 12 dB by"), True)
    # A client holding the front panel: the page says who and its controls wait.
    client.ask("SYST:RWL")
    wait.until(lambda b: b.find_element(By.ID, "link").text.startswith("Locked by 127.0.0.1:"))
    check("controls wait while a client holds the panel", frequency.is_enabled(), False)
    client.ask("SYST:LOC")
    wait.until(lambda b: frequency.is_enabled())
    client.ask("OUTP1 ON")  # a strip of each state for the page at 2x
    client.ask("OUTP2 OFF")
    client.ask("*OPC?")
    client.close()

    # Keyboard only: a value typed, Tab to channel 1's Update, Enter (the
    # refused attenuation above set right first).
    attenuation.clear()
    attenuation.send_keys("10")
    frequency.clear()
    frequency.send_keys("12k")
    active = ""
    for _ in range(80):
        ActionChains(browser).send_keys(Keys.TAB).perform()
        active = browser.switch_to.active_element.get_attribute("id")
        if active == "update1":
            break
    check("Tab reaches channel 1's Update", active, "update1")
    ActionChains(browser).send_keys(Keys.ENTER).perform()
    wait.until(lambda b: ask("SOUR1:FREQ?") == "12000")

    # An oscilloscope's CSV file drawn before anything is loaded; then a
    # text waveform loaded into channel 3, drawn, and downloaded back.
    table = os.path.join(out_dir, "scope.csv")
    with open(table, "w") as f:
        f.write("time,volts\n" + "".join(f"{i},{(i % 20) / 10 - 1}\n" for i in range(100)))
    browser.find_element(By.ID, "wave3").send_keys(table)
    check("a CSV file read as a table, normalised",
          (Select(browser.find_element(By.ID, "format3")).first_selected_option.text,
           browser.find_element(By.ID, "scale3").get_attribute("value")),
          ("CSV or TSV, a column", "normalise"))
    pick = browser.find_element(By.ID, "pick3")
    pick.clear()
    pick.send_keys("2")
    browser.find_element(By.ID, "previewwave3").click()
    wait.until(lambda b: b.find_element(By.ID, "wavemessage3").text != "")
    check("the table drawn, not loaded", browser.find_element(By.ID, "wavemessage3").text,
          "Preview, not loaded: 64 samples from 0.00 to 100.00 % (CSV, comma-delimited, "
          "1 header line, column 2 of 2 (volts), 100 values, made 64, normalised).")
    wave_box = browser.find_element(By.ID, "preview3").find_element(By.XPATH, "..")
    wave_box.screenshot(os.path.join(out_dir, "web_wave_1280.png"))
    wave = os.path.join(out_dir, "ramp.txt")
    with open(wave, "w") as f:
        f.write("\n".join(str(i * 100 / 63) for i in range(64)) + "\n")
    browser.find_element(By.ID, "wave3").send_keys(wave)
    browser.find_element(By.ID, "loadwave3").click()
    wait.until(lambda b: b.find_element(By.ID, "wavemessage3").text.startswith("Loaded"))
    check("the waveform loaded", browser.find_element(By.ID, "wavemessage3").text,
          "Loaded 64 samples from 0.00 to 100.00 % into channel 3.")
    drawn = browser.execute_script(
        "const c = document.getElementById('preview3');"
        "return Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data)"
        ".some(v => v > 0);")
    check("what was loaded is drawn", drawn, True)
    with urllib.request.urlopen(base + "/api/wave/3", timeout=5) as r:
        back = [l for l in r.read().decode().splitlines() if l and not l.startswith("!")]
    check("the samples downloaded back", (len(back), back[-1]), (64, "100.0000"))
    big = os.path.join(out_dir, "big.txt")
    with open(big, "wb") as f:
        f.write(b"50\n" * (100 * 1024 * 1024 // 3))
    refused = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{http_code}",
                              "--data-binary", "@" + big, base + "/api/wave/3"],
                             capture_output=True, text=True, timeout=30).stdout
    os.remove(big)
    check("an upload of 100 MB refused before it is read", refused, "413")

    browser.find_element(By.ID, "identify").click()
    wait.until(lambda b: "Identify asked" in b.find_element(By.ID, "link").text)
    browser.save_screenshot(os.path.join(out_dir, "web_panel_1280.png"))
    browser.set_window_size(390, 844)
    browser.save_screenshot(os.path.join(out_dir, "web_panel_390.png"))
    wave_box.screenshot(os.path.join(out_dir, "web_wave_390.png"))
    width = browser.execute_script("return document.documentElement.scrollWidth")
    check("nothing wider than a phone's screen", width <= 390, True)

    # At twice the pixels (a high-density screen): the strips' colours and
    # words as at 1x, nothing wider than the window.
    dense_options = webdriver.ChromeOptions()
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--window-size=1280,900",
                     "--force-device-scale-factor=2"):
        dense_options.add_argument(argument)
    dense = webdriver.Chrome(options=dense_options,
                             service=Service(shutil.which("chromedriver")))
    try:
        dense.get(base + "/panel")
        WebDriverWait(dense, 10).until(lambda b: b.find_element(By.ID, "link").text == "Live")
        strips = dense.execute_script(
            "return [1, 2, 3].map(c => { const s = document.getElementById('strip' + c);"
            " return [s.className, getComputedStyle(s).backgroundColor, s.textContent]; })")
        plain = browser.execute_script(
            "return [1, 2, 3].map(c => { const s = document.getElementById('strip' + c);"
            " return [s.className, s.textContent]; })")
        check("2x: the strips' states and words as at 1x", [[s[0], s[2]] for s in strips], plain)
        colour = {"strip on": "rgb(200, 240, 200)", "strip off": "rgb(240, 208, 208)",
                  "strip": "rgb(238, 238, 238)"}  # on, off, not known ("?")
        check("2x: channels 1 and 2 on and off", [s[0] for s in strips[:2]],
              ["strip on", "strip off"])
        check("2x: each strip coloured by its state",
              [bg for _, bg, _ in strips], [colour.get(c) for c, _, _ in strips])
        check("2x: the device pixel ratio", dense.execute_script("return devicePixelRatio"), 2)
        check("2x: nothing wider than the window",
              dense.execute_script("return document.documentElement.scrollWidth <= innerWidth"),
              True)
        dense.save_screenshot(os.path.join(out_dir, "web_panel_2x.png"))
    finally:
        dense.quit()

    # A PyVISA client's change reaches a page open without signing in, on a
    # server whose users file names nobody (its raw socket may change the card).
    import pyvisa
    plain_env = dict(env, XDG_CONFIG_HOME=os.path.join(out_dir, "web-nobody-config"))
    open_server = subprocess.Popen([program, "--serve", "--resource", "PXI1::13::INSTR",
                                    "--port", "0", "--no-hislip", "--no-vxi11", "--no-mdns",
                                    "--http-port", "0"], stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, text=True, env=plain_env)
    try:
        said = ""
        while "http://" not in said:
            said += open_server.stdout.readline()
        open_raw = re.search(r"Listening on 127\.0\.0\.1:(\d+)", said).group(1)
        browser.get(re.search(r"(http://127\.0\.0\.1:\d+)/", said).group(1) + "/panel")
        wait.until(lambda b: b.find_element(By.ID, "link").text == "Live")
        instrument = pyvisa.ResourceManager("@py").open_resource(
            f"TCPIP0::127.0.0.1::{open_raw}::SOCKET", read_termination="\n",
            write_termination="\n", timeout=5000)
        instrument.write("OUTP3:ATT 33")
        wait.until(lambda b: "33dB" in b.find_element(By.ID, "strip3").text)
        check("a PyVISA client's change shown in the page",
              browser.find_element(By.ID, "strip3").text.split(", ")[1], "33dB")
        instrument.close()
    finally:
        open_server.terminate()
        open_server.wait(20)
finally:
    browser.quit()
    server.terminate()
    out, err = server.communicate(timeout=20)
check("the web sign-in said", "Signed in: alice from 127.0.0.1:" in out and "(HTTP)" in out, True)
check("Identify said", bool(re.search(r"Identify: 127\.0\.0\.1:\d+ \(web, alice\) asks "
                                      r"PXI1::13::INSTR to show itself", out)), True)

run.finish("web panel")
