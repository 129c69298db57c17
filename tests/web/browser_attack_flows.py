"""The front end attacked: script-injection payloads in every value it renders,
and every changing request with a missing, stale or foreign CSRF token.
Profile numbers 800-849 only."""
import json
import urllib.parse

from selenium.common.exceptions import NoAlertPresentException
from selenium.webdriver.common.by import By

from browser_test import (LOGIN, PASSWORDS, FrontEndCase, fetch, migprof, sign_in, sql_literal,
                          submit)

PAYLOADS = ["<script>alert(1)</script>", "\"><img src=x onerror=alert(1)>",
            "javascript:alert(1)", "{{#a}}{{{b}}}{{/a}}", "'><svg onload=alert(1)>"]
SCRIPT, IMG, JS_URL, MUSTACHE, SVG = PAYLOADS
# A user whose name is mark-up signs in and owns profile 800 (an owner name
# is kept to 20 characters).
HOSTILE_USER = "<script>alert(1)"
VRC = {"vers": "K8", "rele": "0", "cust": "A"}
TABLE = {"tcpac": "xy", "tcmod": SVG, "tflno": "1"}
# Elements or attributes no page of the front end has, which a payload would add.
INJECTED = ("script:not([src]), img[src='x'], svg, [onerror], [onload], "
            "a[href^='javascript:' i], form[action^='javascript:' i]")


# Rules of profile 800 whose every shown value is a payload: table, columns
# after the key, values.
KEY = "mprf, vers, rele, cust, tcpac, tcmod, tflno"
RULE_ROWS = [("qzmap120", "prtx, stat, comt, lusr", [JS_URL, "N", SCRIPT, IMG]),
             ("qzmap140", "fdnm, dnum, mrul, type, stat", [IMG, 1, SCRIPT, SVG, "N"]),
             ("qzmap130", "scpac, scmod, sflno, icod", [SCRIPT, IMG, JS_URL, MUSTACHE]),
             ("qzmap160", "func", [SVG]),
             ("qzmap170", "cpac, cmod, cflno", [SCRIPT, IMG, MUSTACHE])]


def sql(database, statement):
    """The rows a statement answers, through the tool."""
    return json.loads(migprof("sql", "--database", database, *LOGIN, statement).stdout)["rows"]


class AttackFlows(FrontEndCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()

        def insert(table, columns, values):
            sql(cls.database, f"insert into {table} ({columns}) values "
                f"({', '.join(map(sql_literal, values))})")

        def new_profile(*args):
            # The owner is the user the tool acts as.
            migprof("call", "--database", cls.database, *LOGIN, "--as", args[-1], "--args",
                    json.dumps(args), "InsertInMap100")
        migprof("user", "add", HOSTILE_USER, "--database", cls.database, stdin="hostile-pass-3\n")
        vrc = [VRC["vers"], VRC["rele"], VRC["cust"]]
        # Profile 800 through the component: description, applications, the
        # application name and the (enciphered) owner are payloads.
        new_profile(800, SCRIPT, IMG, SVG, *vrc, "__", "N", JS_URL, HOSTILE_USER)
        for table, columns, values in RULE_ROWS:
            key = KEY.replace("tcpac, tcmod, tflno", "bpac, bmod, bflno") \
                if table == "qzmap170" else KEY
            insert(table, f"{key}, {columns}", [800, *vrc, *TABLE.values(), *values])
        # A checked-out function whose name, description, definition and users
        # are payloads.
        insert("qzlib100", "mprf, vers, rele, cust, fnam, dsca, lurn, ldat, fdef, comt, stat, curn",
               [800, *vrc, IMG, SCRIPT, SVG, "2026-01-02 03:04:05", SCRIPT + IMG, MUSTACHE, "C",
                JS_URL])
        # Profile 801 has the pair of applications a new profile will try to
        # take: the refusal quotes its VRC, whose customer part is mark-up.
        insert("qzmap100", "mprf, sapp, tapp, vers, rele, cust, dsca, deph",
               [801, "ATKS", "ATKT", "K9", "0", IMG, "echo", 1])
        # Profile 803 is bob's, for the token checks.
        new_profile(803, "Guarded 803", "ATKA", "ATKB", "K7", "0", "B", "__", "N", "app", "bob")

    @classmethod
    def tearDownClass(cls):
        migprof("user", "remove", HOSTILE_USER, "--database", cls.database, check=False)
        super().tearDownClass()

    def assert_inert(self, driver, page):
        """No alert is open and no element or attribute a payload would add is
        in the DOM."""
        with self.assertRaises(NoAlertPresentException, msg=page):
            driver.switch_to.alert
        injected = driver.execute_script(
            f"return Array.from(document.querySelectorAll(\"{INJECTED}\"))"
            ".map(e => e.outerHTML.slice(0, 80))")
        self.assertEqual(injected, [], page)

    def test_a_payloads_in_every_rendered_value_stay_text(self):
        hostile = self.browser_as(HOSTILE_USER, "hostile-pass-3")
        vrc = urllib.parse.urlencode(VRC)
        table = urllib.parse.urlencode({**VRC, **TABLE})
        # Page, and the payloads it must show as text.
        pages = [
            ("/profiles", [SCRIPT]),
            ("/profiles/800", [SCRIPT, IMG, SVG, JS_URL, HOSTILE_USER]),
            ("/profiles/800/edit", []),  # values inside form fields
            ("/profiles/800/rules", [SCRIPT, IMG]),
            (f"/profiles/800/rules/table?{table}", [SCRIPT, IMG, SVG, JS_URL, MUSTACHE]),
            (f"/profiles/800/rules/delete?{vrc}&table=xy{urllib.parse.quote(SVG)}1", []),
            (f"/profiles/800/copy?source=800&{vrc}", []),
            (f"/profiles/800/functions?{vrc}", [IMG, SCRIPT, SVG]),
            ("/checkouts", [IMG, JS_URL]),
            ("/profiles/800/delete", []),
            ("/signin?next=" + urllib.parse.quote(JS_URL), []),
        ]
        for driver in (self.alice, hostile):
            for path, shown in pages:
                driver.get(self.base + path)
                self.assert_inert(driver, path)
                body = driver.find_element(By.TAG_NAME, "body").text
                for payload in shown:
                    self.assertIn(payload, body, path)
        self.assertEqual(self.alice.find_element(By.NAME, "next").get_attribute("value"),
                         "/profiles", "a sign-in never leads to a script URL")
        hostile.get(self.base + "/profiles/800")
        self.assertEqual(self.text(hostile, "signed-in-user"), HOSTILE_USER)
        self.assertEqual(self.text(hostile, "profile-owner"), f"{HOSTILE_USER} (you)")
        self.shot(hostile, "attack_profile")
        hostile.get(self.base + "/profiles/800/rules/table?" + table)
        self.shot(hostile, "attack_rule_table")

    def test_b_messages_echoing_input_stay_text(self):
        d = self.alice
        # The component's refusal quotes profile 801's VRC inside its <B> mark-up.
        self.create_profile(d, 802, SCRIPT, sapp="ATKS", tapp="ATKT", vers="K6", cust="C")
        message = self.text(d, "component-message")
        self.assertIn(IMG, message)
        self.assertIn("already exists", message)
        self.assert_inert(d, "refused creation")
        self.assertEqual(d.find_element(By.ID, "description").get_attribute("value"), SCRIPT)
        # The flash message names the function the request named.
        d.get(self.base + "/profiles/800/functions?" + urllib.parse.urlencode(VRC))
        submit(d, d.find_element(By.CSS_SELECTOR, "#functions button[value=expire]"))
        self.assert_inert(d, "preview")
        for apply in d.find_elements(By.ID, "apply-change"):
            submit(d, apply)
        self.assertIn(IMG, d.find_element(By.TAG_NAME, "body").text)
        self.assert_inert(d, "outcome")
        self.shot(d, "attack_message")

    def session_of(self, driver):
        """The session cookie and the page's CSRF token."""
        return driver.get_cookie("mpsid")["value"], \
            driver.find_element(By.NAME, "csrf").get_attribute("value")

    def post(self, path, cookie, token, fields):
        form = dict(fields, **({} if token is None else {"csrf": token}))
        status, headers, _ = fetch(self.base + path, "mpsid=" + cookie, form)
        return status, headers.get("Location") or ""

    def description(self, mprf):
        return sql(self.database, f"select dsca from qzmap100 where mprf = {mprf}")[0][0]

    def test_c_changing_requests_need_the_live_sessions_token(self):
        bob = self.browser("bob")
        bob.get(self.base + "/profiles/803/edit")
        old_cookie, old_token = self.session_of(bob)
        form = dict(bob.execute_script(
            "return Array.from(new FormData(document.getElementById('save-profile').form))"))
        submit(bob, bob.find_element(By.CSS_SELECTOR, "nav form button"))  # sign out
        sign_in(bob, "bob", PASSWORDS["bob"])
        bob.get(self.base + "/profiles/803/edit")
        cookie, token = self.session_of(bob)
        self.alice.get(self.base + "/profiles")
        alice_cookie, alice_token = self.session_of(self.alice)
        change = {k: v for k, v in form.items() if k != "csrf"}
        change["description"] = "Changed 803"
        change["apply"] = "yes"  # past the preview: the change itself
        # Refused, with or without a session; signing out of an ended
        # session just leads to the sign-in page.
        cases = [
            ("no token", cookie, None),
            ("an empty token", cookie, ""),
            ("the token of bob's previous session", cookie, old_token),
            ("another session's token", cookie, alice_token),
            ("bob's token with alice's session", alice_cookie, token),
            ("after sign-out", old_cookie, old_token),
        ]
        item = {**VRC, "kind": "rule", "name": "orsls401"}
        routes = [("/profiles/803/edit", change),
                  ("/profiles/803/delete", {"confirm": "803", "apply": "yes"}),
                  ("/profiles", {**change, "mprf": "804"}),
                  ("/profiles/803/rules/action", {"table": "orsls400", "action": "expire"}),
                  ("/profiles/803/rules/delete", {"table": "orsls400"}),
                  ("/profiles/803/copy", {"source": "100", "table": "orsls400"}),
                  ("/profiles/803/functions", {"name": "conv_date", "action": "delete"}),
                  ("/profiles/803/revisions", {**item, "action": "checkout"}),
                  ("/profiles/803/revisions/restore", {**item, "revision": "1"}),
                  ("/checkouts", {**item, "mprf": "803", "action": "takeover"}),
                  ("/signout", {})]
        for what, use_cookie, use_token in cases:
            for path, fields in routes:
                answer, location = self.post(path, use_cookie, use_token, fields)
                if what == "after sign-out" and path == "/signout":
                    self.assertEqual((answer, location), (303, "/signin"), what)
                else:
                    self.assertEqual(answer, 403, f"{what}: {path}")
        self.assertEqual(self.description(803), "Guarded 803")
        # The same request with the live session's token does change it.
        self.assertEqual(self.post("/profiles/803/edit", cookie, token, change)[0], 303)
        self.assertEqual(self.description(803), "Changed 803")

    def browser_as(self, user, password):
        PASSWORDS.setdefault(user, password)
        return self.browser(user)
