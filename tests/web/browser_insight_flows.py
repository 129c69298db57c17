"""Flows of the preview page before changes, the compare page and the lineage
and where-used pages. Profiles 750-799 only."""
from selenium.webdriver.common.by import By

from browser_test import FrontEndCase, submit, wait_for_job


def summary_counts(driver):
    """{table: (added, changed, removed)} from the preview's summary table."""
    counts = {}
    for row in driver.find_elements(By.CSS_SELECTOR, "#plan-summary tbody tr"):
        cells = [cell.text for cell in row.find_elements(By.TAG_NAME, "td")]
        counts[cells[0]] = tuple(int(n) for n in cells[1:])
    return counts


class InsightFlows(FrontEndCase):
    def start_copy(self, target, source, tables):
        d = self.alice
        d.get(f"{self.base}/profiles/{target}/copy?source={source}")
        for table in tables:
            d.find_element(By.ID, "c-" + table).click()
        submit(d, d.find_element(By.ID, "start-copy"))

    def rule_tables(self, mprf):
        """{table code: field count} of the profile's rules page."""
        d = self.alice
        d.get(f"{self.base}/profiles/{mprf}/rules")
        return {row.get_attribute("data-table"):
                int(row.find_elements(By.TAG_NAME, "td")[3].text)
                for row in d.find_elements(By.CSS_SELECTOR, "#rule-tables tbody tr")}

    def test_a_copy_is_previewed_then_cancelled_or_applied(self):
        d = self.alice
        # Derived from demo profile 100, so that no other flow's profile holds the
        # application pair.
        self.create_profile(d, 750, "Preview target", sapp="LEGERP", tapp="ORVOERP", vers="75U",
                            cust="I", parent="V10_R1_STD")
        tables = ("orsls400", "orsls401")
        self.start_copy(750, 100, tables)
        self.assertIn("Nothing has been changed", self.text(d, "preview-verdict"))
        planned = summary_counts(d)
        self.assertEqual(planned["qzmap120"], (2, 0, 0), "one table rule per copied table")
        added = d.find_elements(By.CSS_SELECTOR, "#plan-qzmap120 tr[data-change=added]")
        self.assertEqual(len(added), 2)
        for table in tables:
            self.assertIn(table[5:], d.find_element(By.ID, "plan-qzmap120").text)
        self.shot(d, "preview-copy")
        submit(d, d.find_element(By.ID, "cancel-change"))
        self.assertEqual(self.rule_tables(750), {}, "Cancel leaves the profile as it was")

        self.start_copy(750, 100, tables)
        submit(d, d.find_element(By.ID, "apply-change"))
        wait_for_job(d)
        self.assertIn("complete", self.text(d, "job-outcome"))
        fields = self.rule_tables(750)
        self.assertEqual(sorted(fields), list(tables))
        self.assertEqual(sum(fields.values()), planned["qzmap140"][0],
                         "the copy wrote the field rules its preview showed")

    def test_b_deletions_are_previewed(self):
        d = self.alice
        before = self.rule_tables(750)
        d.find_element(By.ID, "t-orsls400").click()
        submit(d, d.find_element(By.ID, "delete-selected"))
        planned = summary_counts(d)
        self.assertEqual(planned["qzmap120"], (0, 0, 1))
        self.assertEqual(planned["qzmap140"], (0, 0, before["orsls400"]))
        self.assertEqual(len(d.find_elements(By.CSS_SELECTOR, "#plan-qzmap140 tr[data-change]")),
                         min(before["orsls400"], 50))
        self.shot(d, "preview-delete")
        submit(d, d.find_element(By.ID, "cancel-change"))
        self.assertEqual(self.rule_tables(750), before)

        self.create_profile(d, 752, "Throwaway", sapp="LEGERP", tapp="ORVOERP", vers="75U",
                            cust="Z", parent="75U_0_I")
        d.get(self.base + "/profiles/752/delete")
        self.assertEqual(summary_counts(d)["qzmap100"], (0, 0, 1))
        removed = d.find_element(By.CSS_SELECTOR, "#plan-qzmap100 tr[data-change=removed]")
        self.assertIn("Throwaway", removed.text)
        d.find_element(By.ID, "confirm").send_keys("752")
        submit(d, d.find_element(By.ID, "apply-change"))
        self.assertEqual(self.flash(d), "Profile 752 deleted")

    def test_c_compare_a_derived_profile_with_its_parent(self):
        d = self.alice
        self.create_profile(d, 751, "Preview child", sapp="LEGERP", tapp="ORVOERP", vers="75U",
                            cust="J", parent="75U_0_I")
        self.start_copy(751, 750, ["orsls400", "orsls401"])
        submit(d, d.find_element(By.ID, "apply-change"))
        wait_for_job(d)
        # Expiring a table rule changes its status: the one rule overridden.
        d.get(self.base + "/profiles/751/rules")
        d.find_element(By.ID, "t-orsls401").click()
        submit(d, d.find_element(By.ID, "expire-selected"))
        changed = d.find_elements(By.CSS_SELECTOR, "#plan-qzmap120 td.cell-changed")
        self.assertEqual(len(changed), 1)
        self.assertIn("→ X", changed[0].text)
        submit(d, d.find_element(By.ID, "apply-change"))

        d.get(self.base + "/profiles/751")
        submit(d, d.find_element(By.ID, "compare-link"))
        self.assertIn("its parent", self.text(d, "compare-summary"))
        rules = d.find_elements(By.CSS_SELECTOR, "#compare-qzmap120 tbody tr")
        lineage = {row.find_element(By.CLASS_NAME, "rule-key").text: row.get_attribute("data-lineage")
                   for row in rules}
        self.assertEqual(sorted(lineage.values()), ["inherited", "overridden"], lineage)
        overridden = [key for key, kind in lineage.items() if kind == "overridden"]
        self.assertIn("401", overridden[0])
        self.assertEqual({row.get_attribute("data-lineage") for row in d.find_elements(
            By.CSS_SELECTOR, "#compare-qzmap140 tbody tr")}, {"inherited"})
        self.shot(d, "compare")
        submit(d, d.find_element(By.ID, "only-differences"))
        statuses = [row.get_attribute("data-status")
                    for row in d.find_elements(By.CSS_SELECTOR, "section.compare-table tbody tr")]
        self.assertEqual(statuses, ["changed"])

        d.get(self.base + "/profiles/750")
        submit(d, d.find_element(By.ID, "lineage-link"))
        self.assertEqual(len(d.find_elements(By.CSS_SELECTOR, "#derived-tree a[data-mprf='751']")),
                         1)
        self.shot(d, "lineage")
        d.get(self.base + "/where-used?table=orsls401")
        users = {a.get_attribute("data-mprf")
                 for a in d.find_elements(By.CSS_SELECTOR, "#table-uses a[data-mprf]")}
        self.assertLessEqual({"100", "750", "751"}, users)
        self.shot(d, "where-used")
