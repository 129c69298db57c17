"""Revision control in the browser: check-out, editing, check-in, history with
the diff, restore, and the check-outs overview. Profiles 700-749 only."""
from browser_test import FrontEndCase, submit, wait_for_next_page
from selenium.webdriver.common.by import By

DEV = "vers=71&rele=0&cust=R"
FUNCTION_PAGE = "/profiles/700/revisions?" + DEV + "&kind=function&name=conv_date"
RULE_PAGE = "/profiles/700/revisions?" + DEV + "&kind=rule&name=orsls401"


class RevisionFlows(FrontEndCase):
    def diff_lines(self, driver, kind):
        return [e.get_attribute("textContent")
                for e in driver.find_elements(By.CSS_SELECTOR, f"#diff .diff-{kind} .diff-text")]

    def check_in(self, driver, comment):
        self.set_field(driver, "checkin-comment", comment)
        self.click(driver, "checkin")

    def test_a_function_check_out_edit_check_in_history_restore(self):
        d = self.alice
        self.create_profile(d, 700, "Revised orders", sapp="LEGB", tapp="ORVOERP", vers="70",
                            cust="R", dver="71", drel="0", dcus="R", scme=True)
        self.assertEqual(self.flash(d), "Profile 700 created")
        self.copy_function(d, 700, 100, "conv_date", "?" + DEV)
        self.click(d, "apply-change")  # past the preview
        submit(d, d.find_element(By.LINK_TEXT, "conv_date"))
        bob = self.browser("bob")
        bob.get(self.base + FUNCTION_PAGE)  # before alice checks it out

        self.click(d, "checkout")
        self.assertEqual(self.flash(d), "Checked out function conv_date to you")
        # Bob's page is stale: the component refuses, naming function and holder.
        self.click(bob, "checkout")
        refusal = self.text(bob, "component-message")
        self.assertIn("conv_date", refusal)
        self.assertIn("checked out by alice", refusal)
        self.assertIn("Checked out by alice", self.text(bob, "checkout-state"))
        self.shot(bob, "revisions-refused")

        versions = ["select\n  a\nfrom b", "select\n  a, c\nfrom b"]
        for number, definition in enumerate(versions, start=1):
            if number > 1:
                self.click(d, "checkout")
            self.set_field(d, "definition", definition)
            self.set_field(d, "description", f"Order date v{number}")
            self.click(d, "save-function")
            self.assertIn("stays checked out", self.flash(d))
            self.assertEqual(d.find_element(By.ID, "definition").get_attribute("value"),
                             definition, "saved with its line breaks, nothing added")
            if number == 2:
                self.shot(d, "revisions-edit")
            self.check_in(d, f"step {number}")
            self.assertEqual(self.flash(d), f"Checked in function conv_date as revision {number}")
        self.assertEqual(self.text(d, "definition-text"), versions[1])

        self.click(d, "history-link")
        rows = d.find_elements(By.CSS_SELECTOR, "#revisions tr[data-revision]")
        self.assertEqual([r.get_attribute("data-revision") for r in rows], ["2", "1"])
        self.assertIn("step 2", rows[0].text)
        self.assertIn("alice", rows[0].text)
        # Unchosen, the last two are compared: one line out, one line in.
        self.assertEqual(self.text(d, "diff-title"), "Changes from revision 1 to revision 2")
        self.assertEqual((self.diff_lines(d, "removed"), self.diff_lines(d, "added")),
                         (["  a"], ["  a, c"]))
        self.assertIn("Order date v1", self.text(d, "diff"))
        self.shot(d, "revisions-history")

        self.click(d, "restore-1")
        self.assertIn("Restore revision 1 as revision 3", self.text(d, "confirm-restore"))
        self.assertEqual(self.diff_lines(d, "added"), ["  a"],
                         "the preview shows what restoring brings back")
        self.shot(d, "revisions-restore")
        self.set_field(d, "restore-comment", "back to the first cut")
        self.click(d, "confirm-restore")
        self.assertEqual(self.flash(d), "Revision 1 of function conv_date restored as revision 3")
        self.assertEqual(len(d.find_elements(By.CSS_SELECTOR, "#revisions tr[data-revision]")), 3)
        d.find_element(By.ID, "from-1").click()
        d.find_element(By.ID, "to-3").click()
        self.click(d, "compare")
        self.assertIn("from=1", d.current_url, "the comparison is a bookmarkable address")
        self.assertEqual(self.text(d, "diff"), "No differences.")
        d.get(self.base + FUNCTION_PAGE)
        self.assertEqual(self.text(d, "definition-text"), versions[0])

    def test_b_rule_edit_and_taking_over_from_the_overview(self):
        d = self.alice
        self.copy_rules(d, 700, 100, ["orsls401"], "&" + DEV)
        d.get(self.base + "/profiles/700/rules/table?" + DEV + "&tcpac=or&tcmod=sls&tflno=401")
        self.click(d, "rule-revisions")
        self.click(d, "checkout")
        submit(d, d.find_element(By.LINK_TEXT, "Edit item"))
        self.assertEqual(d.find_element(By.ID, "f-mrul").get_attribute("value"),
                         "fmt_item_code(ORDLIN.ITNO)")
        self.set_field(d, "f-mrul", "upper(ORDLIN.ITNO)")
        self.click(d, "save-field")
        self.assertIn("Saved field rule item of orsls401", self.flash(d))
        self.assertIn("upper(ORDLIN.ITNO)",
                      d.find_element(By.CSS_SELECTOR, "#field-rules tr[data-field='item']").text)
        self.shot(d, "revisions-rule")
        self.check_in(d, "item codes upper-cased")
        self.assertEqual(self.flash(d), "Checked in table rule orsls401 as revision 1")
        self.click(d, "checkout")

        # Bob takes the check-out over, as an explicit act behind a confirmation.
        bob = self.browser("bob")
        bob.get(self.base + "/checkouts")
        row = bob.find_element(By.CSS_SELECTOR, "#checkouts tr[data-item='700/rule/orsls401']")
        self.assertIn("alice", row.text)
        submit(bob, row.find_element(By.LINK_TEXT, "Take over…"))
        self.assertEqual(self.text(bob, "checkout-holder"), "alice")
        self.shot(bob, "revisions-takeover")
        self.click(bob, "confirm-checkout-action")
        self.assertIn("You now hold the check-out of table rule orsls401", self.flash(bob))
        row = bob.find_element(By.CSS_SELECTOR, "#checkouts tr[data-item='700/rule/orsls401']")
        self.assertIn("you", row.text)
        self.shot(bob, "revisions-checkouts")
        # His own check-out he undoes straight from the overview.
        bob.execute_script("window.oldPage = true")
        row.find_element(By.CSS_SELECTOR, "button[value=undo]").click()
        bob.switch_to.alert.accept()
        wait_for_next_page(bob)
        self.assertIn("Check-out of table rule orsls401 (profile 700) undone", self.flash(bob))
        self.assertEqual(bob.find_elements(By.CSS_SELECTOR, "tr[data-item='700/rule/orsls401']"),
                         [])
        d.get(self.base + RULE_PAGE.replace("/revisions?", "/revisions/history?"))
        actions = [r.text for r in d.find_elements(By.CSS_SELECTOR, "#revisions tr[data-revision]")]
        self.assertEqual(len(actions), 2)
        self.assertIn("bob", actions[0])
        self.assertIn("check-out taken over from alice", actions[0])
        d.get(self.base + RULE_PAGE)
        self.assertIn("Checked in", self.text(d, "checkout-state"))
