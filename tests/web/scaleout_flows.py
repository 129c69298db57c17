#!/usr/bin/env python3
"""Two `migprof serve` instances behind a proxy on one ODBC data source
(MIGPROF_TEST_DSN): what a maintainer does through the proxy keeps working
whichever instance answers, and when one of them dies. Run by .ci/scaleout.sh.

    scaleout_flows.py prepare <migprof> <load account password>
        fills the data source: demo estate, accounts alice, bob and load
    scaleout_flows.py flows <migprof> <proxy URL> <URL of A> <URL of B> <pid of A>
                      [--screenshots DIR]
        the flows; A is killed (SIGKILL) by the last one

The proxy names the instance that answered in an X-Served-By header. Profile
numbers 850-899 only.
"""
import os
import signal
import sys
import tempfile
import unittest
import urllib.parse

from selenium.webdriver.common.by import By

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser_test  # noqa: E402
from browser_test import FrontEndCase, fetch, session_cookie  # noqa: E402

PROXY = A = B = None
PID_A = 0


def prepare(password):
    """The demo estate, the browser flows' applications and three accounts."""
    with tempfile.TemporaryDirectory() as tmp:
        demo = os.path.join(tmp, "demo.db")
        browser_test.migprof("init", "--demo", demo)
        browser_test.fill(browser_test.DSN, demo, dict(browser_test.PASSWORDS, load=password))


class ScaleOut(FrontEndCase):
    """alice signed in through the proxy; the instances are started by the
    caller, not here."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="migprof_scaleout_")
        cls.base = PROXY
        cls.drivers = []
        cls.alice = cls.browser("alice")

    @classmethod
    def tearDownClass(cls):
        for driver in cls.drivers:
            driver.quit()

    def test_a_requests_alternate_between_instances(self):
        served_by = []
        for _ in range(6):
            status, headers, body = fetch(PROXY + "/profiles", session_cookie(self.alice))
            self.assertEqual(status, 200)
            self.assertIn('id="signed-in-user">alice<', body)
            served_by.append(headers["X-Served-By"])
        self.assertEqual(len(set(served_by)), 2, served_by)

    def test_b_a_change_through_one_shows_on_both(self):
        d = self.alice
        self.create_profile(d, 850, "Scale-out profile", sapp="ORVA", tapp="ORVB", vers="85")
        self.assertEqual(self.flash(d), "Profile 850 created")
        for instance in (A, B):
            status, _, body = fetch(instance + "/profiles/850", session_cookie(d))
            self.assertEqual(status, 200, instance)
            self.assertIn("Scale-out profile", body)
        self.shot(d, "scaleout-profile")

    def test_c_a_copy_started_on_one_shows_its_outcome_on_both(self):
        d = self.alice
        self.create_profile(d, 851, "Scale-out copy target", sapp="LEGCRM", tapp="ORVOERP",
                            vers="S85", cust="T")
        self.copy_rules(d, 851, 100, ("orsls400", "orsls401"))
        self.assertRegex(d.current_url, r"/jobs/[0-9a-f]{32}$")
        self.assertIn("finished the copy", self.text(d, "job-outcome"))
        self.assertIn("complete", self.text(d, "copy-counts"))
        path = urllib.parse.urlparse(d.current_url).path
        for instance in (A, B):
            status, _, body = fetch(instance + path, session_cookie(d))
            self.assertEqual(status, 200, instance)
            self.assertIn('data-running="no"', body)
            self.assertIn("4 of 4", body)
            self.assertIn("8 of 8", body)
        self.shot(d, "scaleout-copy")

    def test_d_signing_out_on_one_ends_the_session_on_both(self):
        bob = self.browser("bob")
        cookie = session_cookie(bob)
        csrf = bob.find_element(By.NAME, "csrf").get_attribute("value")
        for instance in (A, B):
            self.assertEqual(fetch(instance + "/profiles", cookie)[0], 200, instance)
        status, headers, _ = fetch(A + "/signout", cookie, {"csrf": csrf})
        self.assertEqual((status, headers["Location"]), (303, "/signin"))
        for instance in (A, B, PROXY):
            status, headers, _ = fetch(instance + "/profiles", cookie)
            self.assertEqual(status, 303, instance)
            self.assertTrue(headers["Location"].startswith("/signin"), instance)
        bob.get(PROXY + "/profiles")
        self.assertIn("/signin", bob.current_url)

    def test_e_an_instance_killed_mid_session_the_other_goes_on(self):
        d = self.alice
        os.kill(PID_A, signal.SIGKILL)
        self.edit_description(d, 850, "Changed after a server died")
        self.assertEqual(self.flash(d), "Profile 850 updated")
        served_by = set()
        for _ in range(4):
            status, headers, body = fetch(PROXY + "/profiles/850", session_cookie(d))
            self.assertEqual(status, 200)
            self.assertIn("Changed after a server died", body)
            served_by.add(headers["X-Served-By"])
        port_b = urllib.parse.urlparse(B).port
        self.assertEqual(served_by, {f"127.0.0.1:{port_b}"})
        self.shot(d, "scaleout-after-kill")


def main(argv):
    global PROXY, A, B, PID_A
    browser_test.MIGPROF = os.path.abspath(argv[2])
    if browser_test.DSN:  # the login of `migprof user` and of the servers
        os.environ["MIGPROF_DB_USER"] = browser_test.LOGIN[1]
        os.environ["MIGPROF_DB_PASSWORD"] = browser_test.LOGIN[3]
    if argv[1] == "prepare":
        prepare(argv[3])
        return 0
    PROXY, A, B, PID_A = argv[3], argv[4], argv[5], int(argv[6])
    if "--screenshots" in argv:
        browser_test.SCREENSHOTS = os.path.abspath(argv[argv.index("--screenshots") + 1])
        os.makedirs(browser_test.SCREENSHOTS, exist_ok=True)
    suite = unittest.TestLoader().loadTestsFromTestCase(ScaleOut)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    if len(sys.argv) < 4 or sys.argv[1] not in ("prepare", "flows"):
        sys.exit(__doc__)
    sys.exit(main(sys.argv))
