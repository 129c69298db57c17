// Small helpers; every page works without them.
"use strict";
// Pages are sent no-store, yet a browser may still restore one from its
// back-forward cache: Back after a change would then show a preview of what
// is already done. Such a page is fetched again.
window.addEventListener("pageshow", function (event) {
  if (event.persisted) window.location.reload();
});
document.addEventListener("DOMContentLoaded", function () {
  // Forms marked data-confirm ask before they are sent.
  document.querySelectorAll("form[data-confirm]").forEach(function (form) {
    form.addEventListener("submit", function (event) {
      if (!window.confirm(form.getAttribute("data-confirm"))) event.preventDefault();
    });
  });
  // A progress page polls itself instead of waiting for the meta refresh.
  var progress = document.getElementById("job-progress");
  if (progress && progress.getAttribute("data-running") === "yes") {
    window.setTimeout(function () { window.location.reload(); }, 700);
  }
});
