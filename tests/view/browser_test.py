#!/usr/bin/env python3
"""The live view in a real browser: headless Chromium driven through its DevTools protocol over
--remote-debugging-pipe (standard library only). Starts `zazod-host view` on a free port, loads the
page, sees the image update, clicks snap and sees exactly one more frame, refuses snaps at the
counted-mode limit, compares the page's figures with the summary zazod-host prints, takes a
screenshot, and checks a view bound with a token refuses requests without it. A page of another
loopback origin then tries to drive the view: controls smuggled in the bodies of requests it may
send without asking (a padding sweep), and the view's frame embedded as an image; nothing runs,
the figures do not change, and the image is blocked.

Runs inside scripts/netns (only loopback): Chromium calls out to the network on its own.
Usage: browser_test.py ZAZOD_HOST OUT_DIR [--measure SECONDS]
"""
import base64
import fcntl
import http.server
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

WAIT = 20.0  # seconds any one expected change may take on a busy machine


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class View:
    """zazod-host view as a process, ended with SIGTERM."""

    def __init__(self, host, *arguments):
        env = {k: v for k, v in os.environ.items() if not k.startswith("ZAZOD_SDK_")}
        self.process = subprocess.Popen([host, "view", "--port", "0", *arguments], stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True, env=env)
        self.lines = []
        for line in self.process.stdout:
            self.lines.append(line)
            match = re.match(r"view (http://\S+)", line)
            if match:
                self.url = match.group(1)
                return
        raise Failure("zazod-host view printed no URL:\n" + "".join(self.lines))

    def end(self):
        self.process.send_signal(signal.SIGTERM)
        rest, _ = self.process.communicate(timeout=60)
        self.lines.append(rest)
        check(self.process.returncode == 0, "zazod-host view ended with %s:\n%s" % (
            self.process.returncode, "".join(self.lines)))
        return "".join(self.lines)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def summary_value(output, field):
    match = re.search(r"^  %s +(\d+)" % re.escape(field), output, re.MULTILINE)
    check(match, "no %s in the summary:\n%s" % (field, output))
    return int(match.group(1))


class Browser:
    """Headless Chromium; commands go to fd 3, answers and events come from fd 4, NUL-separated."""

    def __init__(self, profile):
        chromium = shutil.which("chromium") or shutil.which("chromium-browser")
        check(chromium, "chromium is not installed (scripts/install-deps installs it)")
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        # Above 10, so that putting them at 3 and 4 in the child never overwrites one with the other.
        child_r = fcntl.fcntl(to_browser_r, fcntl.F_DUPFD, 10)
        child_w = fcntl.fcntl(from_browser_w, fcntl.F_DUPFD, 10)

        def descriptors():
            os.dup2(child_r, 3)
            os.dup2(child_w, 4)

        self.process = subprocess.Popen(
            [chromium, "--headless=new", "--no-sandbox", "--remote-debugging-pipe", "--disable-gpu",
             "--no-first-run", "--no-default-browser-check", "--disable-background-networking",
             "--disable-component-update", "--disable-sync", "--disable-default-apps", "--disable-extensions",
             "--metrics-recording-only", "--safebrowsing-disable-auto-update", "--mute-audio",
             "--user-data-dir=" + profile, "--window-size=1280,860", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            close_fds=False, preexec_fn=descriptors)
        for fd in (to_browser_r, from_browser_w, child_r, child_w):
            os.close(fd)
        self.buffer = b""
        self.next_id = 0
        self.session = None

    def command(self, method, params=None, session=True):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            while b"\0" not in self.buffer:
                chunk = os.read(self.from_browser, 1 << 20)
                check(chunk, "chromium closed its DevTools pipe")
                self.buffer += chunk
            raw, self.buffer = self.buffer.split(b"\0", 1)
            answer = json.loads(raw)
            if answer.get("id") == self.next_id:
                check("error" not in answer, "%s failed: %s" % (method, answer.get("error")))
                return answer.get("result", {})
        raise Failure("no answer to " + method)

    def open(self, url):
        target = self.command("Target.createTarget", {"url": "about:blank"}, session=False)["targetId"]
        self.session = self.command("Target.attachToTarget", {"targetId": target, "flatten": True},
                                    session=False)["sessionId"]
        self.command("Page.enable")
        self.command("Emulation.setDeviceMetricsOverride",
                     {"width": 1280, "height": 860, "deviceScaleFactor": 1, "mobile": False})
        self.command("Page.navigate", {"url": url})

    def evaluate(self, expression):
        result = self.command("Runtime.evaluate",
                              {"expression": expression, "returnByValue": True, "awaitPromise": True})
        check("exceptionDetails" not in result, "page script failed: %s" % result.get("exceptionDetails"))
        return result["result"].get("value")

    def wait_for(self, expression, what):
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.05)  # another process: nothing to wait on but its answers
        raise Failure("the page never showed " + what)

    def click(self, element_id):
        """A real mouse click in the middle of the element."""
        box = self.evaluate("(() => { const r = document.getElementById(%s).getBoundingClientRect();"
                            " return [r.x + r.width / 2, r.y + r.height / 2]; })()" % json.dumps(element_id))
        for kind in ("mousePressed", "mouseReleased"):
            self.command("Input.dispatchMouseEvent",
                         {"type": kind, "x": box[0], "y": box[1], "button": "left", "clickCount": 1})

    def set_value(self, element_id, value):
        self.evaluate("document.getElementById(%s).value = %s" % (json.dumps(element_id), json.dumps(str(value))))

    def state(self):
        text = self.evaluate("document.body.dataset.state || ''")
        return json.loads(text) if text else None

    def screenshot(self, path):
        data = self.command("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))

    def close(self):
        try:
            self.command("Browser.close", session=False)
        except Failure:
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.to_browser)
        os.close(self.from_browser)


def number(browser, element_id):
    text = browser.evaluate("document.getElementById(%s)?.textContent" % json.dumps(element_id))
    return int(text) if text and text.isdigit() else None


def wait_state(browser, predicate, what):
    deadline = time.monotonic() + WAIT
    while time.monotonic() < deadline:
        state = browser.state()
        if state and predicate(state):
            return state
        time.sleep(0.05)
    raise Failure("the page's state never showed " + what + ": " + json.dumps(browser.state()))


def quiet(browser):
    """Auto-snap off through the page, and every snap answered."""
    browser.set_value("autosnap-rate", 0)
    browser.click("autosnap-set")
    return wait_state(browser, lambda s: s["autoSnapHz"] == 0 and s["figures"]["waiting"] == 0, "auto-snap off")


def live_view(host, out_dir, profile):
    view = View(host, "--emulate", "2", "--rate", "20")
    browser = Browser(profile)
    try:
        browser.open(view.url)
        first = None
        deadline = time.monotonic() + WAIT
        while first is None and time.monotonic() < deadline:
            first = number(browser, "image-number")
            time.sleep(0.05)
        check(first is not None, "the page never showed an image number")
        browser.wait_for("Number(document.getElementById('image-number')?.textContent) > %d" % first,
                         "the image number increase")
        check(browser.wait_for("document.getElementById('frame').naturalWidth", "a decoded image") == 640,
              "the image is not 640 pixels wide")
        print("image updates: image number %d, then %d" % (first, number(browser, "image-number")))

        # Software mode, started again: the camera numbers its frames from 1 again, and one click
        # gives one frame.
        quiet(browser)
        browser.evaluate("document.getElementById('mode').value = 'software'")
        browser.click("mode-apply")
        before = wait_state(browser, lambda s: s["camera"]["activeMode"] == "software"
                            and s["problem"] == "", "software mode")
        browser.click("snap")
        after = wait_state(browser, lambda s: s["figures"]["delivered"] > before["figures"]["delivered"]
                           and s["figures"]["waiting"] == 0, "the snapped frame")
        check(after["figures"]["delivered"] == before["figures"]["delivered"] + 1,
              "one snap gave %d frames" % (after["figures"]["delivered"] - before["figures"]["delivered"]))
        check(after["figures"]["snapped"] == before["figures"]["snapped"] + 1, "the snap was not counted once")
        check(after["camera"]["imageNumber"] == 1, "the first frame after a start is image %d"
              % after["camera"]["imageNumber"])
        browser.wait_for("Number(document.getElementById('image-number')?.textContent) === 1",
                         "the snapped frame's image number")
        print("snap: exactly one more frame, image 1 after the start")

        # Counted mode with a limit of 3: started again, the camera's images 1 to 3 are admitted
        # (the snap before the first frame compares the last session's image 1), the rest refused.
        browser.evaluate("document.getElementById('mode').value = 'counted'")
        browser.set_value("limit", 3)
        browser.click("mode-apply")
        counted = wait_state(browser, lambda s: s["camera"]["activeMode"] == "counted"
                             and s["camera"]["limit"] == 3, "counted mode")
        answers = []
        for _ in range(5):
            delivered = browser.state()["figures"]["delivered"]
            refused = browser.state()["figures"]["refused"]
            browser.click("snap")
            state = wait_state(browser, lambda s: (s["figures"]["delivered"] > delivered
                                                   and s["figures"]["waiting"] == 0)
                               or s["figures"]["refused"] > refused, "the snap's answer")
            answers.append(state["figures"]["refused"] == refused)
        check(answers == [True, True, True, False, False], "counted snaps answered %s" % answers)
        check(browser.evaluate("document.getElementById('problem')?.textContent") == "snap refused",
              "the page does not say the snap was refused")
        check(number(browser, "image-number") == 3, "the page does not show image 3")
        browser.wait_for("Number(document.getElementById('fig-refused')?.textContent) === %d"
                         % (counted["figures"]["refused"] + 2), "the two refusals")
        print("counted mode: snaps accepted %s, refused at the limit of 3" % answers)

        # Back to software mode, live, for the picture.
        browser.evaluate("document.getElementById('mode').value = 'software'")
        browser.click("mode-apply")
        wait_state(browser, lambda s: s["camera"]["activeMode"] == "software", "software mode")
        browser.set_value("autosnap-rate", 15)
        browser.click("autosnap-set")
        shown = number(browser, "shown")
        browser.wait_for("Number(document.getElementById('shown')?.textContent) > %d" % (shown + 20), "live frames")
        # The module's debug lines too, for the picture.
        browser.click("log-debug")
        browser.wait_for("document.querySelectorAll('#log li').length > 5", "the module's lines")
        browser.screenshot(os.path.join(out_dir, "view.png"))
        print("screenshot: " + os.path.join(out_dir, "view.png"))

        # The page's figures against zazod-host's own counters.
        state = quiet(browser)
        browser.wait_for("Number(document.getElementById('fig-delivered')?.textContent) === %d"
                         % state["figures"]["delivered"], "the last delivered count")
        shown_figures = {name: number(browser, "fig-" + name)
                         for name in ("snapped", "delivered", "failed", "skipped", "unanswered")}
        browser.close()
        output = view.end()
        for name, value in shown_figures.items():
            check(summary_value(output, name) == value, "the page shows %s %s, zazod-host counted %s"
                  % (name, value, summary_value(output, name)))
        print("figures agree with zazod-host's summary: %s" % shown_figures)
    finally:
        view.kill()
        if browser.process.poll() is None:
            browser.process.kill()


def token_view(host, profile):
    view = View(host, "--emulate", "1", "--token", "browser-test-token")
    browser = Browser(profile)
    try:
        base = view.url.split("?")[0]
        for path in ("", "api/state", "view.js"):
            try:
                urllib.request.urlopen(base + path, timeout=10)
                raise Failure("/%s answered without the token" % path)
            except urllib.error.HTTPError as error:
                check(error.code == 403, "/%s without the token answered %d" % (path, error.code))
        browser.open(view.url)
        browser.wait_for("Number(document.getElementById('image-number')?.textContent) > 1", "frames with the token")
        check(browser.evaluate("location.search") == "", "the token stays in the address bar")
        status = browser.evaluate("fetch('/api/state', {credentials: 'omit'}).then(r => r.status)")
        check(status == 403, "a request without the token's cookie answered %s" % status)
        browser.close()
        view.end()
        print("token: the page works with it; requests without it get 403")
    finally:
        view.kill()
        if browser.process.poll() is None:
            browser.process.kill()


ATTACK_PAGE = """<!doctype html><title>another origin</title><script>
async function attack(view, host) {
  const inner = 'POST /api/snap HTTP/1.1\\r\\nHost: ' + host + '\\r\\nContent-Type: application/json\\r\\n' +
    'Content-Length: 2\\r\\n\\r\\n{}' +
    'POST /api/stop HTTP/1.1\\r\\nHost: ' + host + '\\r\\nContent-Type: application/json\\r\\n' +
    'Content-Length: 2\\r\\nConnection: close\\r\\n\\r\\n{}';
  const sent = [];
  // Every padding that puts the inner requests at byte 4096 of the connection's first read, and a
  // coarser sweep beyond.
  const pads = [];
  for (let pad = 3000; pad <= 4096; ++pad) pads.push(pad);
  for (let pad = 0; pad <= 8192; pad += 256) pads.push(pad);
  for (const pad of pads) {
    sent.push(fetch(view + '/x', {method: 'POST', mode: 'no-cors', body: 'p'.repeat(pad) + inner,
                                  headers: {'Content-Type': 'text/plain'}}));
  }
  const settled = await Promise.allSettled(sent);
  const image = await new Promise(done => {
    const img = new Image();
    img.onload = () => done('loaded');
    img.onerror = () => done('blocked');
    img.src = view + '/frame.jpg';
  });
  return {requests: settled.length, image: image};
}
</script>"""


class AttackPage(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = ATTACK_PAGE.encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *arguments):
        pass


def view_state(base):
    with urllib.request.urlopen(base + "api/state", timeout=30) as answer:
        return json.loads(answer.read())


def foreign_page(host, profile):
    view = View(host, "--emulate", "1")
    browser = Browser(profile)
    # Another origin on this machine: another loopback address (the namespace has only lo).
    page = http.server.ThreadingHTTPServer(("127.0.0.2", 0), AttackPage)
    server = threading.Thread(target=page.serve_forever)
    server.start()
    try:
        base = view.url.split("?")[0]
        request = urllib.request.Request(base + "api/autosnap", data=b'{"hz":0}',
                                         headers={"Content-Type": "application/json"})
        urllib.request.urlopen(request, timeout=30).read()
        deadline = time.monotonic() + WAIT
        before = view_state(base)
        while (before["autoSnapHz"] != 0 or before["figures"]["waiting"] != 0) and time.monotonic() < deadline:
            time.sleep(0.05)  # another process: nothing to wait on but its answers
            before = view_state(base)
        check(before["camera"]["grabbing"] and before["figures"]["waiting"] == 0, "the view did not go quiet")
        browser.open("http://127.0.0.2:%d/" % page.server_address[1])
        browser.wait_for("typeof attack === 'function'", "the attacking page")
        result = browser.evaluate("attack(%s, %s)" % (json.dumps(base.rstrip("/")),
                                                       json.dumps(base.split("/")[2])))
        check(result["requests"] == 1097 + 33, "the page sent %s requests" % result["requests"])
        after = view_state(base)
        check(after["camera"]["grabbing"], "a page of another origin stopped the camera")
        for name in ("snapped", "delivered", "refused", "failed"):
            check(after["figures"][name] == before["figures"][name], "a page of another origin changed %s: %s, then %s"
                  % (name, before["figures"][name], after["figures"][name]))
        check(result["image"] == "blocked", "another origin's page could show the view's frame")
        browser.close()
        view.end()
        print("another origin: %d smuggling requests ran nothing, the figures stayed, the frame was blocked"
              % result["requests"])
    finally:
        page.shutdown()
        server.join()
        page.server_close()
        view.kill()
        if browser.process.poll() is None:
            browser.process.kill()


def measure(host, profile, seconds):
    """Display rate and CPU of zazod-host while one browser views a 30 frames/s emulated camera."""
    view = View(host, "--emulate", "1", "--rate", "30")
    browser = Browser(profile)
    try:
        browser.open(view.url)
        browser.wait_for("Number(document.getElementById('shown')?.textContent) > 30", "frames")
        ticks = os.sysconf("SC_CLK_TCK")

        def cpu():
            with open("/proc/%d/stat" % view.process.pid) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / ticks

        def browser_cpu():
            total = 0.0
            for pid in os.listdir("/proc"):
                if pid.isdigit() and pid != str(view.process.pid):
                    try:
                        with open("/proc/%s/stat" % pid) as stat:
                            name = stat.read()
                        if "(chrom" in name:
                            fields = name.rsplit(")", 1)[1].split()
                            total += (int(fields[11]) + int(fields[12])) / ticks
                    except OSError:
                        pass
            return total

        shown0, state0, cpu0, bcpu0, t0 = number(browser, "shown"), browser.state(), cpu(), browser_cpu(), time.monotonic()
        time.sleep(seconds)
        shown1, state1, cpu1, bcpu1, t1 = number(browser, "shown"), browser.state(), cpu(), browser_cpu(), time.monotonic()
        elapsed = t1 - t0
        delivered = state1["figures"]["delivered"] - state0["figures"]["delivered"]
        print("over %.1f s: camera %.1f frames/s, page drew %.1f frames/s; zazod-host CPU %.1f %% of one core "
              "(%.2f ms per frame); Chromium CPU %.1f %%; not drawn %d of %d"
              % (elapsed, delivered / elapsed, (shown1 - shown0) / elapsed, 100 * (cpu1 - cpu0) / elapsed,
                 1000 * (cpu1 - cpu0) / max(delivered, 1), 100 * (bcpu1 - bcpu0) / elapsed,
                 state1["figures"]["notDrawn"], state1["figures"]["delivered"]))
        browser.close()
        view.end()
    finally:
        view.kill()
        if browser.process.poll() is None:
            browser.process.kill()


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    host, out_dir = sys.argv[1], sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="zazod-view-chromium-", ignore_cleanup_errors=True) as profile:
        try:
            if len(sys.argv) == 5 and sys.argv[3] == "--measure":
                measure(host, profile, float(sys.argv[4]))
                return 0
            live_view(host, out_dir, os.path.join(profile, "a"))
            token_view(host, os.path.join(profile, "b"))
            foreign_page(host, os.path.join(profile, "c"))
        except Failure as failure:
            print("FAILED: %s" % failure)
            return 1
    print("browser test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
