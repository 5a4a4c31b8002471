"""A small client of Chromium's DevTools protocol over --remote-debugging-pipe
(fd 3 to the browser, fd 4 from it; messages end with a NUL byte)."""
import json
import os
import select
import time


class Browser:
    def __init__(self, to_browser, from_browser):
        self.out = to_browser
        self.inp = from_browser
        self.next_id = 0
        self.buffer = b""
        self.events = []

    def _read_one(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no answer from the browser")
            ready, _, _ = select.select([self.inp], [], [], left)
            if ready:
                chunk = os.read(self.inp, 1 << 20)
                if not chunk:
                    raise EOFError("the browser closed its pipe")
                self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=None, timeout=30):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.out, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            got = self._read_one(deadline)
            if got.get("id") == self.next_id:
                if "error" in got:
                    raise RuntimeError(f"{method}: {got['error']}")
                return got.get("result", {})
            if len(self.events) < 1000:
                self.events.append(got)

    def evaluate(self, session, expression, timeout=30):
        result = self.call("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                "returnByValue": True}, session, timeout)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression[:80]}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def attach(self, target_id):
        return self.call("Target.attachToTarget", {"targetId": target_id, "flatten": True})["sessionId"]

    def wait_for(self, session, expression, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                if self.evaluate(session, expression):
                    return True
            except RuntimeError:
                pass  # a page between two documents
            time.sleep(0.1)
        return False

    def target(self, predicate, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for t in self.call("Target.getTargets")["targetInfos"]:
                if predicate(t):
                    return t
            time.sleep(0.2)
        raise TimeoutError("no such target")
