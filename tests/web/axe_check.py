"""Accessibility checks of a page in the browser with axe-core (WCAG 2.1 A
and AA rules).

axe-core comes from npm (scripts/install_deps.sh installs it into
/opt/migprof-axe); MIGPROF_AXE_JS names another copy of axe.min.js. Without
it the checks fail, saying how to install it, unless MIGPROF_SKIP_AXE=1 is
set (a developer's machine without npm).
"""
import os

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


def violations(driver, script):
    """The serious and critical violations on the page the driver shows, as
    report lines (rule, impact, what it asks, and each offending node)."""
    if not driver.execute_script("return typeof axe !== 'undefined'"):
        driver.execute_cdp_cmd("Runtime.evaluate", {"expression": script})
    driver.set_script_timeout(60)
    found = driver.execute_async_script(RUN, TAGS)
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
