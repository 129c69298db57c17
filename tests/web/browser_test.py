#!/usr/bin/env python3
"""The front end in headless Chromium against a real server and a fresh
embedded database, or the ODBC data source MIGPROF_TEST_DSN (login
MIGPROF_TEST_UID / MIGPROF_TEST_PWD, front end's tables in place) given the
demo estate's rows.

    browser_test.py <path to migprof> [--screenshots DIR] [-k PATTERN]

With --screenshots the pages are also saved as PNG files; -k runs only the
tests whose names hold PATTERN (as unittest's -k; it may be given more than once).
"""
import os
import shutil
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request

import axe_check
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import NoSuchElementException, StaleElementReferenceException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

MIGPROF = None
DSN_FILLED = False
SCREENSHOTS = None
PASSWORDS = {"alice": "alice-secret-1", "bob": "bob-secret-2", "carol": "carol-secret-3"}
# alice, the first account, is an administrator whatever it is given; bob is
# one too, so that two users may revise one profile; carol maintains only
# what she owns.
ROLES = {"alice": "administrator", "bob": "administrator", "carol": "maintainer"}
DSN = os.environ.get("MIGPROF_TEST_DSN")
LOGIN = ["--user", os.environ.get("MIGPROF_TEST_UID", ""),
         "--password", os.environ.get("MIGPROF_TEST_PWD", "")] if DSN else []

# Applications beside the demo estate's, so that each test's profiles have an
# application pair of their own.
FIXTURE_SQL = [f"insert into qzddi100 (appl, extn) values ('{appl}', {extn})" for appl, extn in
               [("ORVA", 1), ("ORVB", 1), ("LEGA", 0), ("LEGB", 0)] +
               [(f"APP{i}", 1) for i in range(1, 8)]]

def submit(driver, button):
    """Clicks a button that sends a form and waits for the next page, which
    is checked for accessibility when it is of a kind not checked before."""
    driver.execute_script("window.oldPage = true")
    button.click()
    wait_for_next_page(driver)
    check_accessibility(driver)


def check_accessibility(driver):
    lines = axe_check.check_new_kind(driver)
    if lines:
        raise AssertionError(f"{driver.current_url}: serious or critical accessibility "
                             "violations:\n" + "\n".join(lines))


def wait_for_next_page(driver):
    WebDriverWait(driver, 20).until(
        lambda d: d.execute_script("return document.readyState === 'complete' && !window.oldPage"))


def wait_for_job(driver):
    """Waits until the self-refreshing progress page shows the outcome."""
    WebDriverWait(driver, 60, ignored_exceptions=[NoSuchElementException,
                                                  StaleElementReferenceException]).until(
        lambda d: d.find_element(By.ID, "job-progress").get_attribute("data-running") == "no")
    check_accessibility(driver)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def migprof(*args, stdin=None, check=True):
    return subprocess.run([MIGPROF, *args], input=stdin, capture_output=True, text=True,
                          check=check, timeout=60)


def start_server(database, log_path):
    """Starts `migprof serve` on a free loopback port; returns it and its address."""
    port = free_port()
    with open(log_path, "w") as log:
        server = subprocess.Popen([MIGPROF, "serve", "--database", database, "--listen",
                                   f"127.0.0.1:{port}"], stdout=log, stderr=subprocess.STDOUT)
    deadline = time.time() + 30
    while "Serving" not in read(log_path):
        if server.poll() is not None or time.time() > deadline:
            raise RuntimeError("the server did not start: " + read(log_path))
        time.sleep(0.1)
    return server, f"http://127.0.0.1:{port}"


def read(path):
    with open(path) as file:
        return file.read()


def sign_in(driver, user, password):
    driver.find_element(By.ID, "name").send_keys(user)
    driver.find_element(By.ID, "password").send_keys(password)
    submit(driver, driver.find_element(By.CSS_SELECTOR, "form button[type=submit]"))


class NoRedirects(urllib.request.HTTPRedirectHandler):
    def redirect_request(self, *args, **kwargs):
        return None


def fetch(url, cookie, form=None):
    """(status, headers, body) of one request, redirects not followed."""
    data = urllib.parse.urlencode(form).encode() if form is not None else None
    request = urllib.request.Request(url, data=data, headers={"Cookie": cookie})
    try:
        with urllib.request.build_opener(NoRedirects).open(request, timeout=30) as answer:
            return answer.status, answer.headers, answer.read().decode()
    except urllib.error.HTTPError as answer:
        return answer.code, answer.headers, answer.read().decode()


def session_cookie(driver):
    return "mpsid=" + driver.get_cookie("mpsid")["value"]


def sql_literal(value):
    if value is None:
        return "null"
    if isinstance(value, bytes):
        return "0x" + value.hex()
    if isinstance(value, str):
        return "'" + value.replace("'", "''") + "'"
    return str(value)


def fill(database, demo_file=None, accounts=PASSWORDS):
    """The rows `migprof init --demo` wrote into demo_file, table by table, the
    applications of the flows and the accounts."""
    statements = []
    if demo_file:
        source = sqlite3.connect(demo_file)
        source.create_collation("SQLSERVER", lambda a, b: (a > b) - (a < b))  # only read here
        tables = source.execute("select name from sqlite_master where type = 'table'").fetchall()
        for (table,) in tables:
            cursor = source.execute(f"select * from {table}")
            rows = ",".join("(" + ",".join(map(sql_literal, row)) + ")" for row in cursor)
            columns = ",".join(column[0] for column in cursor.description)
            if rows:
                statements.append(f"insert into {table} ({columns}) values {rows}")
    for statement in statements + FIXTURE_SQL:
        migprof("sql", "--database", database, *LOGIN, statement)
    for name, password in accounts.items():
        migprof("user", "add", name, "--role", ROLES.get(name, "maintainer"), "--database", database,
                stdin=password + "\n")


class FrontEndCase(unittest.TestCase):
    """A server on a fresh database with the demo estate and three accounts, and
    alice signed in; the flows of each area subclass it."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="migprof_web_")
        db_path = os.path.join(cls.tmp, "profiles.db")
        migprof("init", "--demo", db_path)
        cls.database = DSN or "sqlite:" + db_path
        # A data source is shared by every area's flows: filled once.
        global DSN_FILLED
        if not (DSN and DSN_FILLED):
            fill(cls.database, db_path if DSN else None)
            DSN_FILLED = bool(DSN)
        cls.server_log = os.path.join(cls.tmp, "serve.log")
        cls.server, cls.base = start_server(cls.database, cls.server_log)
        cls.drivers = []
        cls.alice = cls.browser("alice")

    @classmethod
    def tearDownClass(cls):
        for driver in cls.drivers:
            driver.quit()
        cls.server.terminate()
        status = cls.server.wait(timeout=30)
        log = read(cls.server_log)
        shutil.rmtree(cls.tmp, ignore_errors=True)
        # A clean stop, and nothing reported (sanitizer builds report here).
        if status != 0 or log.count("\n") > 1:
            raise AssertionError(f"server ended with {status}:\n{log}")

    @classmethod
    def browser(cls, user):
        options = webdriver.ChromeOptions()
        for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--window-size=1280,900",
                     "--user-data-dir=" + tempfile.mkdtemp(dir=cls.tmp)]:
            options.add_argument(flag)
        options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
        options.set_capability("goog:loggingPrefs", {"browser": "SEVERE"})  # console errors
        driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
        cls.drivers.append(driver)
        driver.get(cls.base + "/profiles")
        sign_in(driver, user, PASSWORDS[user])
        return driver

    def shot(self, driver, name):
        if SCREENSHOTS:
            driver.save_screenshot(os.path.join(SCREENSHOTS, name + ".png"))

    def flash(self, driver):
        return self.text(driver, "flash")

    def text(self, driver, element_id):
        return driver.find_element(By.ID, element_id).text

    def set_field(self, driver, element_id, value):
        element = driver.find_element(By.ID, element_id)
        element.clear()
        element.send_keys(value)

    def click(self, driver, element_id):
        """Sends the form of a button and waits for the next page."""
        button = driver.find_element(By.ID, element_id)
        # Bootstrap scrolls smoothly: a click during the scroll lands elsewhere.
        driver.execute_script("arguments[0].scrollIntoView({block: 'center', behavior: 'instant'})",
                              button)
        submit(driver, button)

    def apply(self, driver, element_id):
        """A changing button, then Apply on the preview it leads to."""
        self.click(driver, element_id)
        self.click(driver, "apply-change")

    def create_profile(self, driver, number, description, parent="__", sapp="ORVA", tapp="ORVB",
                       vers="1", cust="C", **more):
        """The new-profile form; further fields by id, True ticks a box."""
        driver.get(self.base + "/profiles/new")
        fields = {"mprf": str(number), "description": description, "sapp": sapp, "tapp": tapp,
                  "vers": vers, "rele": "0", "cust": cust, "apln": "test", **more}
        for name, value in fields.items():
            if value is True:
                driver.find_element(By.ID, name).click()
            else:
                self.set_field(driver, name, value)
        self.set_field(driver, "parent", "" if parent == "__" else parent)
        self.click(driver, "save-profile")
        for _ in driver.find_elements(By.ID, "apply-change"):  # the preview, when it would work
            self.click(driver, "apply-change")

    def edit_description(self, driver, mprf, description):
        driver.get(f"{self.base}/profiles/{mprf}/edit")
        self.set_field(driver, "description", description)
        self.apply(driver, "save-profile")

    def start_copy(self, driver, target, source, tables, query=""):
        """The copy of rules up to its preview."""
        driver.get(f"{self.base}/profiles/{target}/copy?source={source}{query}")
        for table in tables:
            driver.find_element(By.ID, "c-" + table).click()
        self.click(driver, "start-copy")

    def copy_rules(self, driver, target, source, tables, query=""):
        self.start_copy(driver, target, source, tables, query)
        self.click(driver, "apply-change")
        wait_for_job(driver)

    def copy_function(self, driver, mprf, source, name, query=""):
        """The function copy form of the profile's functions page, up to its preview."""
        driver.get(f"{self.base}/profiles/{mprf}/functions{query}")
        self.set_field(driver, "fsource", str(source))
        self.click(driver, "show-source-functions")
        self.set_field(driver, "fname", name)
        self.click(driver, "copy-function")

    def summary_counts(self, driver):
        """{table: (added, changed, removed)} from the preview's summary table."""
        counts = {}
        for row in driver.find_elements(By.CSS_SELECTOR, "#plan-summary tbody tr"):
            cells = [cell.text for cell in row.find_elements(By.TAG_NAME, "td")]
            counts[row.get_attribute("data-table")] = tuple(int(n) for n in cells[1:])
        return counts

    def rule_tables(self, driver, mprf):
        """{table code: field count} of the profile's rules page."""
        driver.get(f"{self.base}/profiles/{mprf}/rules")
        return {row.get_attribute("data-table"): int(row.find_elements(By.TAG_NAME, "td")[3].text)
                for row in driver.find_elements(By.CSS_SELECTOR, "#rule-tables tbody tr")}


class FrontEnd(FrontEndCase):
    def test_b_create_derive_and_see_the_tree(self):
        d = self.alice
        self.create_profile(d, 1000, "Customer master")
        self.assertEqual(self.flash(d), "Profile 1000 created")
        self.assertIn("alice (you)", self.text(d, "profile-owner"))
        self.create_profile(d, 1001, "Customer master EU", vers="1U", cust="EU", parent="1_0_C")
        self.assertEqual(self.flash(d), "Profile 1001 created")
        self.assertEqual(d.find_element(By.ID, "parent-link").get_attribute("href"),
                         self.base + "/profiles/1000")
        self.shot(d, "profile")
        self.edit_description(d, 1000, "Customer master 2026")
        self.assertEqual(self.flash(d), "Profile 1000 updated")
        self.assertEqual(self.text(d, "profile-description"), "Customer master 2026")
        d.get(self.base + "/profiles")
        nested = d.find_elements(By.CSS_SELECTOR,
                                 "#profile-tree a[data-mprf='1000'] ~ ul a[data-mprf='1001']")
        self.assertEqual(len(nested), 1, "1001 is drawn under its parent 1000")
        self.shot(d, "profiles")

    def test_c_refused_derivation_shows_the_message_in_place(self):
        d = self.alice
        self.create_profile(d, 1002, "Legacy feed", sapp="LEGA", vers="2", parent="1_0_C")
        message = d.find_element(By.ID, "component-message")
        self.assertIn("different types", message.text)
        self.assertIn("error 101", message.text)
        self.assertEqual(d.find_element(By.ID, "description").get_attribute("value"),
                         "Legacy feed", "the form keeps what was typed")
        self.assertEqual(len(message.find_elements(By.TAG_NAME, "li")), 1, "<LI> rendered")
        self.shot(d, "refused")
        # Re-deriving demo profile 110 (legacy source) from 300 (Orvo source):
        # the derivation check refuses before anything is saved.
        d.get(self.base + "/profiles/110/edit")
        self.set_field(d, "parent", "I30_R1_STD")
        self.click(d, "save-profile")
        self.assertIn("error 101", self.text(d, "component-message"))
        d.get(self.base + "/profiles/110")
        self.assertEqual(d.find_element(By.ID, "parent-link").get_attribute("href"),
                         self.base + "/profiles/100", "the parent is unchanged")

    def test_d_copy_rules_compare_expire_reinstate_and_delete_them(self):
        d = self.alice
        # Derived from demo profile 100, whose rules it copies.
        self.create_profile(d, 1060, "Copy target", sapp="LEGERP", tapp="ORVOERP", vers="6",
                            cust="T", parent="V10_R1_STD")
        tables = ("orsls400", "orsls401")
        self.start_copy(d, 1060, 100, tables)
        self.assertIn("Nothing has been changed", self.text(d, "preview-verdict"))
        planned = self.summary_counts(d)
        self.assertEqual(planned["qzmap120"], (2, 0, 0), "one table rule per copied table")
        self.shot(d, "preview-copy")
        self.click(d, "cancel-change")
        self.assertEqual(self.rule_tables(d, 1060), {}, "Cancel leaves the profile as it was")
        self.copy_rules(d, 1060, 100, tables)
        self.assertIn("finished the copy", self.text(d, "job-outcome"))
        counts = self.text(d, "copy-counts")
        self.assertIn("4 of 4", counts)
        self.assertIn("8 of 8", counts)
        self.shot(d, "copy")
        # Back from the outcome to its preview shows the preview taken afresh:
        # the tables are in the target now, and nothing is offered to apply.
        d.back()
        WebDriverWait(d, 10).until(lambda drv: drv.find_elements(By.ID, "component-message"))
        self.assertIn("Record Already Exists", self.text(d, "component-message"))
        self.assertEqual(d.find_elements(By.ID, "apply-change"), [])
        fields = self.rule_tables(d, 1060)
        self.assertEqual(sorted(fields), list(tables))
        self.assertEqual(sum(fields.values()), planned["qzmap140"][0],
                         "the copy wrote the field rules its preview showed")
        # Copying again is refused by the component; its preview says so and
        # offers no Apply.
        self.start_copy(d, 1060, 100, tables[:1])
        self.assertIn("Record Already Exists With the User Profile",
                      self.text(d, "component-message"))
        self.assertEqual(d.find_elements(By.ID, "apply-change"), [])

        row = "#rule-tables tr[data-table='orsls401']"

        def rule_action(action, badge):
            d.get(self.base + "/profiles/1060/rules")
            d.find_element(By.ID, "t-orsls401").click()
            self.click(d, action)
            changed = d.find_elements(By.CSS_SELECTOR, "#plan-qzmap120 td.cell-changed")
            self.assertEqual(len(changed), 1)
            self.assertIn("→ " + badge[0], changed[0].text)
            self.click(d, "apply-change")
            self.assertIn("1 row changed: Table rules 1", self.flash(d))
            self.assertEqual(d.find_element(By.CSS_SELECTOR, row + " .rule-status").text, badge)

        # Expiring a table rule changes its status: the one rule overridden.
        rule_action("expire-selected", "X expired")
        self.shot(d, "rules")
        d.get(self.base + "/profiles/1060")
        self.click(d, "compare-link")
        self.assertIn("its parent", self.text(d, "compare-summary"))
        rules = d.find_elements(By.CSS_SELECTOR,
                                "#compare-qzmap120 tbody tr:not([data-lineage=''])")
        lineage = {r.find_element(By.CLASS_NAME, "rule-key").text: r.get_attribute("data-lineage")
                   for r in rules}
        self.assertEqual(sorted(lineage.values()), ["inherited", "overridden"], lineage)
        self.assertIn("401", [key for key, kind in lineage.items() if kind == "overridden"][0])
        self.assertEqual({row.get_attribute("data-lineage") for row in d.find_elements(
            By.CSS_SELECTOR, "#compare-qzmap140 tbody tr:not([data-lineage=''])")}, {"inherited"})
        self.shot(d, "compare")
        self.click(d, "only-differences")
        statuses = [row.get_attribute("data-status")
                    for row in d.find_elements(By.CSS_SELECTOR, "section.compare-table tbody tr")]
        self.assertEqual((statuses.count("changed"), statuses.count("same")), (1, 0), statuses)
        rule_action("reinstate-selected", "M reinstated")
        d.get(self.base + "/profiles/100")
        self.click(d, "lineage-link")
        self.assertEqual(
            len(d.find_elements(By.CSS_SELECTOR, "#derived-tree a[data-mprf='1060']")), 1)
        self.shot(d, "lineage")
        d.get(self.base + "/where-used?table=orsls401")
        users = {a.get_attribute("data-mprf")
                 for a in d.find_elements(By.CSS_SELECTOR, "#table-uses a[data-mprf]")}
        self.assertLessEqual({"100", "1060"}, users)
        self.shot(d, "where-used")

        before = self.rule_tables(d, 1060)
        d.find_element(By.ID, "t-orsls400").click()
        self.click(d, "delete-selected")
        self.assertEqual(self.summary_counts(d)["qzmap140"], (0, 0, before["orsls400"]))
        self.shot(d, "preview-delete")
        self.click(d, "cancel-change")
        self.assertEqual(self.rule_tables(d, 1060), before)
        d.find_element(By.ID, "t-orsls400").click()
        self.apply(d, "delete-selected")
        self.assertIn("Rules of or sls 400 deleted from VRC 6_0_T; ", self.flash(d))
        self.assertEqual(d.find_elements(By.CSS_SELECTOR, "tr[data-table='orsls400']"), [])
        self.assertEqual(len(d.find_elements(By.CSS_SELECTOR, row)), 1)

    def test_e_delete_profile_after_confirmation(self):
        d = self.alice
        self.create_profile(d, 1070, "Short lived", sapp="LEGA", tapp="LEGB", vers="7", cust="Z")
        d.get(self.base + "/profiles/1070/delete")
        self.assertEqual(self.summary_counts(d)["qzmap100"], (0, 0, 1))
        removed = d.find_element(By.CSS_SELECTOR, "#plan-qzmap100 tr[data-change=removed]")
        self.assertIn("Short lived", removed.text)
        self.set_field(d, "confirm", "1071")
        self.click(d, "apply-change")
        self.assertIn("Type the profile number", d.page_source)
        self.set_field(d, "confirm", "1070")
        self.click(d, "apply-change")
        self.assertEqual(self.flash(d), "Profile 1070 deleted")
        d.get(self.base + "/profiles/1070")
        self.assertIn("No such profile", d.page_source)
        # A problem page keeps the navigation bar of the one signed in.
        self.assertEqual(self.text(d, "signed-in-user"), "alice")

    def test_h_owners_the_kind_filter_and_signing_out(self):
        bob = self.browser("bob")
        self.create_profile(bob, 1110, "Bob's profile", sapp="LEGA", tapp="ORVA", vers="11",
                            cust="B")
        self.assertIn("bob (you)", self.text(bob, "profile-owner"))
        bob.get(self.base + "/profiles")
        self.alice.get(self.base + "/profiles")
        for driver, mine, theirs in ((bob, "Bob's profile", "Customer master"),
                                     (self.alice, "Customer master", "Bob's profile")):
            self.assertIn(mine, self.text(driver, "own-profiles"))
            self.assertNotIn(theirs, self.text(driver, "own-profiles"))
        own = self.text(self.alice, "own-profiles")
        self.assertIn("100", own)  # the demo's owners
        self.assertNotIn("200", own)
        self.alice.get(self.base + "/profiles/1110")
        self.assertEqual("bob", self.text(self.alice, "profile-owner"))
        for kind, shown, hidden in (("orvo", "a[data-mprf='300']", "a[data-mprf='100']"), (
                "legacy", "a[data-mprf='100'] ~ ul a[data-mprf='110'] ~ ul a[data-mprf='120']",
                "a[data-mprf='300']")):
            self.alice.get(self.base + "/profiles?kind=" + kind)
            tree = self.alice.find_element(By.ID, "profile-tree")
            self.assertEqual(len(tree.find_elements(By.CSS_SELECTOR, shown)), 1, kind)
            self.assertEqual(tree.find_elements(By.CSS_SELECTOR, hidden), [], kind)
        self.alice.get(self.base + "/checkouts")
        self.assertIn("map_uom", self.text(self.alice, "checkouts"))
        # Signed out, bob is led to sign in again, where a wrong password is refused.
        submit(bob, bob.find_element(By.CSS_SELECTOR, "nav form button"))
        bob.get(self.base + "/profiles")
        self.assertIn("/signin", bob.current_url)
        sign_in(bob, "bob", "wrong")
        self.assertIn("wrong", self.text(bob, "signin-problem"))
        self.shot(bob, "signin")

    def test_i_function_library_copy_expire_reinstate_delete(self):
        d = self.alice
        self.copy_function(d, 1060, 100, "conv_date")
        self.click(d, "apply-change")
        self.assertIn("Function conv_date copied from profile 100 into 6_0_T; ", self.flash(d))
        row = d.find_element(By.CSS_SELECTOR, "#functions tbody tr")
        self.assertIn("conv_date", row.text)
        for action, where, shown in (("expire", "functions", "X expired"),
                                     ("reinstate", "flash", "reinstated")):
            submit(d, d.find_element(By.CSS_SELECTOR, f"#functions button[value={action}]"))
            self.click(d, "apply-change")
            self.assertIn(shown, self.text(d, where))
        self.shot(d, "functions")
        # A second copy is refused by the component, and the page says so.
        self.copy_function(d, 1060, 100, "conv_date")
        self.assertIn("Function already exist in users VRC", self.text(d, "component-message"))
        d.get(self.base + "/profiles/1060/functions")
        submit(d, d.find_element(By.CSS_SELECTOR, "#functions button[value=delete]"))
        self.click(d, "apply-change")
        self.assertIn("Function conv_date deleted from 6_0_T; ", self.flash(d))
        self.assertIn("No functions", self.text(d, "functions"))

    def test_k_what_is_not_yours_is_shown_without_its_buttons(self):
        carol = self.browser("carol")
        carol.get(self.base + "/profiles/100")
        self.assertIn("only its owner or an administrator", self.text(carol, "profile-rights"))
        for control in ("edit-link", "delete-link"):
            self.assertFalse(carol.find_elements(By.ID, control), control)
        carol.get(self.base + "/profiles/100/rules")
        self.assertTrue(carol.find_elements(By.ID, "read-only-note"))
        self.assertFalse(carol.find_elements(By.ID, "expire-selected"))
        self.shot(carol, "not-yours")
        carol.get(self.base + "/profiles/100/edit")
        self.assertIn("Not allowed", carol.page_source)
        self.assertEqual(self.text(carol, "signed-in-user"), "carol")
        # A forged change is refused and changes nothing.
        cookie = session_cookie(carol)
        csrf = carol.find_element(By.CSS_SELECTOR, "nav form input[name=csrf]").get_attribute("value")
        status, _, body = fetch(self.base + "/profiles/100/edit", cookie,
                                {"csrf": csrf, "description": "carol was here", "apply": "yes"})
        self.assertEqual(status, 403)
        self.assertIn("Nothing was changed", body)
        carol.get(self.base + "/profiles/100")
        self.assertNotIn("carol was here", self.text(carol, "profile-description"))
        # Both the refusal and who made it are in the activity log.
        carol.get(self.base + "/activity?profile=100")
        self.assertIn("not allowed", self.text(carol, "activity"))
        self.assertIn("carol", self.text(carol, "activity"))
        self.shot(carol, "activity")


if __name__ == "__main__":
    MIGPROF = os.path.abspath(sys.argv[1])
    if DSN:  # the servers' and `migprof user`'s database login
        os.environ["MIGPROF_DB_USER"], os.environ["MIGPROF_DB_PASSWORD"] = LOGIN[1], LOGIN[3]
    if "--screenshots" in sys.argv:
        SCREENSHOTS = os.path.abspath(sys.argv[sys.argv.index("--screenshots") + 1])
        os.makedirs(SCREENSHOTS, exist_ok=True)
    # The flows of further areas live in browser_*_flows.py beside this file and
    # import their helpers from here: make that import find this very module.
    sys.modules["browser_test"] = sys.modules["__main__"]
    here = os.path.dirname(os.path.abspath(__file__))
    sys.path.insert(0, here)
    loader = unittest.TestLoader()
    patterns = [sys.argv[i + 1] for i, arg in enumerate(sys.argv[:-1]) if arg == "-k"]
    if patterns:
        loader.testNamePatterns = ["*" + pattern + "*" for pattern in patterns]
    suite = loader.loadTestsFromModule(sys.modules["__main__"])
    for name in sorted(os.listdir(here)):
        if name.startswith("browser_") and name.endswith("_flows.py"):
            suite.addTests(loader.loadTestsFromModule(__import__(name[:-3])))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if not axe_check.skipped():
        print(f"axe-core: {len(axe_check.checked)} kinds of page checked")
    sys.exit(0 if result.wasSuccessful() else 1)
