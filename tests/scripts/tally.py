"""The count a script test ends with: each check passes, or fails with its reason."""


class Tally:
    def __init__(self):
        self.passed = 0
        self.failures = []

    def check(self, ok, what):
        if ok:
            self.passed += 1
        else:
            self.failures.append(what)
            print("FAILED:", what)
        return ok

    def report(self):
        """Prints the closing count; the exit status."""
        print(f"{self.passed} passed, {len(self.failures)} failed")
        return 1 if self.failures else 0
