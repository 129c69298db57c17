"""Accessibility checks of a page in the browser with axe-core (WCAG 2.1 A
and AA rules).

axe-core comes from npm (scripts/install_deps.sh installs it into
/opt/migprof-axe); MIGPROF_AXE_JS names another copy of axe.min.js. Without
it the checks fail, saying how to install it, unless MIGPROF_SKIP_AXE=1 is
set (a developer's machine without npm).

Each kind of page (kind_of) is checked once per run: the journey flow
checks every kind it reaches by links, and the other flows check the pages
their forms lead to (previews, refusals, outcomes) through check_new_kind.
"""
import os
import re
import urllib.parse

DEFAULT_PATH = "/opt/migprof-axe/node_modules/axe-core/axe.min.js"
TAGS = ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa"]
FAILING_IMPACTS = ("serious", "critical")


def skipped():
    return os.environ.get("MIGPROF_SKIP_AXE") == "1"


def source():
    """The text of axe.min.js; raises with the way to install it when missing."""
    path = os.environ.get("MIGPROF_AXE_JS", DEFAULT_PATH)
    try:
        with open(path) as file:
            return file.read()
    except OSError as error:
        raise RuntimeError(
            f"axe-core is not installed ({path}: {error.strerror}); run scripts/install_deps.sh, "
            "point MIGPROF_AXE_JS at axe.min.js, or set MIGPROF_SKIP_AXE=1 to leave the "
            "accessibility checks out") from None


# Runs axe on the whole document and hands back only what a report needs
# (the full result is large). Loaded through the DevTools protocol, which
# the page's Content-Security-Policy does not govern.
RUN = """
const done = arguments[arguments.length - 1];
axe.run(document, {runOnly: {type: 'tag', values: arguments[0]}, resultTypes: ['violations']})
  .then(r => done(r.violations.map(v => ({id: v.id, impact: v.impact, help: v.help,
      nodes: v.nodes.map(n => ({target: n.target.join(' '), summary: n.failureSummary}))}))))
  .catch(e => done([{id: 'axe-error', impact: 'critical', help: String(e), nodes: []}]));
"""


# A running progress page reloads itself 700 ms after it loads; a reload
# between loading axe and running it loses axe (on a slow machine the run
# alone can take longer). The page's pending timers are cleared so that it
# holds still while it is checked; it is reloaded afterwards, which starts
# its polling again.
HOLD_STILL = """
const progress = document.getElementById('job-progress');
if (!progress || progress.getAttribute('data-running') !== 'yes') return false;
const last = window.setTimeout(function () {}, 0);
for (let id = 0; id <= last; id++) window.clearTimeout(id);
return true;
"""


def violations(driver, script):
    """The serious and critical violations on the page the driver shows, as
    report lines (rule, impact, what it asks, and each offending node)."""
    held = driver.execute_script(HOLD_STILL)
    try:
        found = run_axe(driver, script)
    finally:
        if held:
            driver.refresh()
    lines = []
    for v in found:
        if v["impact"] not in FAILING_IMPACTS:
            continue
        lines.append(f"{v['id']} ({v['impact']}): {v['help']}")
        for node in v["nodes"][:10]:
            lines.append(f"    {node['target']}: {' '.join(node['summary'].split())}")
        if len(v["nodes"]) > 10:
            lines.append(f"    ... and {len(v['nodes']) - 10} more")
    return lines


def run_axe(driver, script):
    if not driver.execute_script("return typeof axe !== 'undefined'"):
        driver.execute_cdp_cmd("Runtime.evaluate", {"expression": script})
    driver.set_script_timeout(60)
    return driver.execute_async_script(RUN, TAGS)


# The classes a page's elements use: rows marked expired, removed or
# changed look different from the rest, so a page that brings a new one is
# checked again.
CLASSES = ("return Array.from(new Set(Array.from(document.body.querySelectorAll('[class]'))"
           ".flatMap(e => Array.from(e.classList)))).sort().join(' ')")


def kind_of(driver):
    """A page's kind: its path with numbers standing for any, the names of
    its query's parameters and the classes its elements use."""
    url = urllib.parse.urlsplit(driver.current_url)
    names = sorted({name for name, _ in urllib.parse.parse_qsl(url.query, keep_blank_values=True)})
    return (re.sub(r"/-?\d+(?=/|$)", "/N", url.path), tuple(names), driver.execute_script(CLASSES))


_script = None
checked = set()  # the kinds of page checked in this run


def check_new_kind(driver):
    """The report lines of the page the driver shows when its kind was not
    checked before in this run; [] otherwise or when the checks are off."""
    global _script
    if skipped():
        return []
    kind = kind_of(driver)
    if kind in checked:
        return []
    checked.add(kind)
    if _script is None:
        _script = source()
    return violations(driver, _script)
