#!/usr/bin/env bash
# Renders the user guide as a phone of 390 pixels shows it (headless Chromium) and fails when
# anything reaches past the screen's right edge: a table column, a command block, a line of
# text. Leaves a screenshot of the top of the page beside the report.
# Usage: guide-phone-check.sh [OUTPUT_FOLDER]   (default: build/guide-phone)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/guide-phone}"
width=390

browser="$(command -v chromium || true)"
if [[ -z "$browser" ]]; then
  echo "guide-phone-check: chromium is not installed (apt-get install chromium)" >&2
  exit 2
fi
mkdir -p "$out"
page="$out/vrk.html"
# The guide with a measuring script at its end: every element whose box ends past the screen
# is listed in the page, where --dump-dom shows it.
python3 - "$root/Data/vrk.html" "$page" <<'PY'
import sys
guide = open(sys.argv[1], encoding="utf-8").read()
probe = """<script>
addEventListener('load', () => {
  const width = document.documentElement.clientWidth;
  const late = [];
  for (const element of document.querySelectorAll('body *')) {
    const box = element.getBoundingClientRect();
    if (box.width > 0 && box.right > width + 0.5) {
      late.push(element.tagName + ' ' + Math.round(box.left) + '-' + Math.round(box.right) + ': ' +
                (element.textContent || '').trim().slice(0, 60));
    }
  }
  parent.postMessage('WIDTH ' + width + '\\n' + (late.length ? late.join('\\n') : 'ALL-FIT'), '*');
});
</script>"""
open(sys.argv[2], "w", encoding="utf-8").write(guide.replace("</body>", probe + "\n</body>"))
PY
# A browser window is no narrower than its own minimum: the guide is shown in a frame of the
# phone's width, whose report the page around it writes down.
cat > "$out/phone.html" <<HTML
<!DOCTYPE html>
<html><body style="margin:0">
<iframe src="vrk.html" style="width:${width}px;height:844px;border:0"></iframe>
<script>
addEventListener('message', (event) => {
  const report = document.createElement('pre');
  report.id = 'phone-report';
  report.textContent = event.data;
  document.body.appendChild(report);
});
</script>
</body></html>
HTML

flags=(--headless --no-sandbox --disable-gpu --disable-background-networking
       --disable-component-update --disable-sync --no-first-run --hide-scrollbars
       --user-data-dir="$out/profile" --window-size=500,900)
"$browser" "${flags[@]}" --allow-file-access-from-files --virtual-time-budget=5000 --dump-dom "file://$out/phone.html" 2>/dev/null \
  | python3 -c 'import html,re,sys; m=re.search(r"<pre id=\"phone-report\">(.*?)</pre>", sys.stdin.read(), re.S); print(html.unescape(m.group(1)) if m else "NO-REPORT")' \
  > "$out/report.txt"
"$browser" "${flags[@]}" --allow-file-access-from-files --virtual-time-budget=5000 --screenshot="$out/top.png" "file://$out/phone.html" >/dev/null 2>&1 || true

cat "$out/report.txt"
grep -qx "ALL-FIT" "$out/report.txt"
