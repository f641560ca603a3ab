"""What the tests of --serve in this folder share: the program, the
simulated libraries and the output folder from the command line; a users
file, a journal and a configuration folder of the test's own, none left
from an earlier run; the environment the program runs in; the checks that
failed, said at the end (exit status 1 when any did)."""
import os
import subprocess
import sys


class ServedRun:
    def __init__(self, name, journal=True):
        self.program, self.sim_dir, self.out_dir = sys.argv[1:4]
        os.makedirs(self.out_dir, exist_ok=True)
        self.users = os.path.join(self.out_dir, f"{name}-users")
        self.journal = os.path.join(self.out_dir, f"{name}.journal") if journal else None
        for f in (self.users, self.journal):
            if f and os.path.exists(f):
                os.remove(f)
        self.env = {"LD_LIBRARY_PATH": self.sim_dir, "NVSIM_CHASSIS": "",
                    "XDG_CONFIG_HOME": os.path.join(self.out_dir, f"{name}-config"),
                    "PATH": os.environ.get("PATH", "/usr/bin")}
        if self.journal:
            self.env["NVSIM_JOURNAL_FILE"] = self.journal
        self.failures = []

    def check(self, what, got, wanted):
        if got != wanted:
            self.failures.append(f"{what}: {got!r}, wanted {wanted!r}")

    def add_user(self, name, password):
        return subprocess.run([self.program, "--add-user", name, "--users", self.users],
                              input=password + "\n", capture_output=True, text=True,
                              env=self.env)

    def finish(self, what):
        if self.failures:
            print("\n".join(self.failures))
            sys.exit(1)
        print(f"{what}: every check passed")
