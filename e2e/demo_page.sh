# shellcheck shell=bash
# The demo's page (sourced by e2e/demo.sh): BUILD/demo/index.html, one file
# a browser opens from disk, with no script and nothing fetched; the pictures
# are the PNG files beside it.
#
#   demo_page DIR MACHINE SECONDS
#       reads DIR/pictures.tsv (file, caption, in order), DIR/run.tsv and
#       DIR/tables/STAGE-NAME.tsv (tab-separated rows)

demo_html_escape() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g'; }

# demo_html_table FILE TITLE COLUMN...: a table of the file's rows, or a
# line saying there is none.
demo_html_table() {
  local file=$1 title=$2 column
  shift 2
  printf '<h3>%s</h3>\n' "$(printf '%s' "$title" | demo_html_escape)"
  if [ ! -s "$file" ]; then
    printf '<p class="none">none</p>\n'
    return
  fi
  printf '<table>\n<tr>'
  for column in "$@"; do printf '<th>%s</th>' "$column"; done
  printf '</tr>\n'
  demo_html_escape < "$file" | awk -F'\t' -v n=$# '{
    printf "<tr>"; for (i = 1; i <= n; i++) printf "<td>%s</td>", $i; printf "</tr>\n" }'
  printf '</table>\n'
}

# demo_html_pictures DIR PATTERN: the pictures whose file names match.
demo_html_pictures() {
  local file caption
  while IFS=$'\t' read -r file caption; do
    # shellcheck disable=SC2053 # PATTERN is a glob
    [[ "$file" == $2 ]] || continue
    printf '<figure><img src="%s" alt="%s"><figcaption>%s</figcaption></figure>\n' \
      "$file" "$(printf '%s' "$caption" | demo_html_escape)" "$(printf '%s' "$caption" | demo_html_escape)"
  done < "$1/pictures.tsv"
}

# The run's value of KEY in run.tsv.
demo_run_value() { awk -F'\t' -v k="$2" '$1 == k { print $2 }' "$1/run.tsv"; }

# demo_html_summary DIR STAGE: what the stage left, in a few rows.
demo_html_summary() {
  local t=$1/tables/$2 product
  product=$(awk -F'\t' -v p="$DEMO_PRODUCT_ROOT\\Mixolyte" '$1 == p { print $2 }' "$t-left.tsv")
  {
    printf 'Product folder %s\t%s\n' "$DEMO_PRODUCT_ROOT\\Mixolyte" \
      "${product:+present; files in it: $(awk -F'\t' '$4 != "package entry MISSING"' "$t-files.tsv" | wc -l)}"
    printf 'Package entries in it with the package'"'"'s MD5\t%s of %s\n' \
      "$(awk -F'\t' '$4 == "package entry, same MD5"' "$t-files.tsv" | wc -l)" "$(grep -c . "$1/package.tsv")"
    printf 'Uninstall entry (values, both views)\t%s\n' "$(grep -c . "$t-uninstall.tsv")"
    printf 'Settings %s (values)\t%s\n' "$IE_SETTINGS_KEY" "$(grep -c . "$t-settings.tsv")"
    printf 'Shortcuts in %s\t%s\n' "$DEMO_MENU_ROOT" "$(grep -c . "$t-shortcuts.tsv")"
    printf 'ASIO drivers (32-bit and 64-bit views)\t%s\n' "$(grep -c . "$t-asio.tsv")"
    printf 'Endpoints of the DAZA device with a Mixolyte name\t%s\n' "$(grep -c . "$t-endpoints.tsv")"
    printf 'DAZA driver service (values)\t%s\n' "$(grep -c . "$t-service.tsv")"
    printf 'Files left for Windows to delete or rename at its next start\t%s\n' "$(grep -c . "$t-restart.tsv")"
  } | sed 's/\t$/\tabsent/' > "$t-summary.tsv"
  demo_html_table "$t-summary.tsv" "In short" "What" "What is there"
}

demo_html_details() {  # demo_html_details DIR STAGE
  local t=$1/tables/$2
  demo_html_table "$t-files.tsv" "The product folder's files against the package's entries" \
    "File" "Size" "MD5" "Against the package"
  demo_html_table "$t-uninstall.tsv" "The uninstall entry" "View" "Value" "Type" "Data"
  demo_html_table "$t-settings.tsv" "The settings ($IE_SETTINGS_KEY)" "Value" "Type" "Data"
  demo_html_table "$t-shortcuts.tsv" "The shortcuts (read through the shell)" "Shortcut" "Target" "Working folder" "Description" \
    "Arguments"
  demo_html_table "$t-asio.tsv" "The ASIO registrations" "View" "Driver" "CLSID" "Description" "COM server" \
    "Threading"
  demo_html_table "$t-endpoints.tsv" "The endpoints named after the pin check (64-bit view)" "Flow" "Channel" \
    "Name" "Icon" "Endpoint"
}

demo_page() {
  local dir=$1 machine=$2 seconds=$3 page=$1/index.html
  {
    cat <<'HEAD'
<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Mixolyte setup: the demo</title>
<style>
body { font-family: sans-serif; margin: 2em; max-width: 70em; }
figure { margin: 1em 0 2em 0; } img { border: 1px solid #888; max-width: 100%; }
figcaption { font-style: italic; margin-top: .3em; }
table { border-collapse: collapse; margin-bottom: 1.5em; font-size: 90%; }
th, td { border: 1px solid #aaa; padding: .2em .5em; text-align: left; vertical-align: top; }
th { background: #eee; } .none { color: #666; }
</style></head><body>
<h1>Mixolyte setup: install and remove, as a user sees it</h1>
HEAD
    printf '<p>The real MixolyteSetup.exe in Wine: a fresh 64-bit Windows 10 prefix with the stand-in DAZA driver, driven through its window with mouse clicks. Run on %s, on a machine that %s; %s seconds. What each stage left was read back through Windows programs in the prefix (files and their MD5, registry trees, the shortcuts as the shell reads them).</p>\n' \
      "$(date -u '+%Y-%m-%d %H:%M UTC')" "$(printf '%s' "$machine" | demo_html_escape)" "$seconds"
    printf '<h2>1. The Install offer</h2>\n'
    demo_html_pictures "$dir" '*-install-offer.png'
    [ -f "$dir/tables/before-left.tsv" ] && demo_html_summary "$dir" before
    printf '<h2>2. The install</h2>\n'
    demo_html_pictures "$dir" '*-step-*.png'
    demo_html_pictures "$dir" '*-install-box.png'
    printf '<p>The program ended with exit code %s after OK.</p>\n' "$(demo_run_value "$dir" install_exit)"
    if [ -f "$dir/tables/installed-left.tsv" ]; then
      printf '<h2>What the install left</h2>\n'
      demo_html_summary "$dir" installed
      demo_html_details "$dir" installed
    fi
    printf '<h2>3. The Remove offer</h2>\n'
    demo_html_pictures "$dir" '*-remove-offer.png'
    printf '<p>Started as %s.</p>\n' "$(demo_run_value "$dir" remove_started | demo_html_escape)"
    printf '<h2>4. The removal</h2>\n'
    demo_html_pictures "$dir" '*-remove-box.png'
    printf '<p>The program ended with exit code %s after OK.</p>\n' "$(demo_run_value "$dir" remove_exit)"
    if [ -f "$dir/tables/removed-left.tsv" ]; then
      printf '<h2>What is left after the removal</h2>\n'
      demo_html_summary "$dir" removed
      demo_html_table "$dir/tables/removed-left.tsv" "Under the product's folder and the Start-menu folder" \
        "Path" "Kind" "Size"
      demo_html_table "$dir/tables/removed-uninstall.tsv" "The uninstall entry" "View" "Value" "Type" "Data"
      demo_html_table "$dir/tables/removed-settings.tsv" "The settings ($IE_SETTINGS_KEY)" "Value" "Type" "Data"
      demo_html_table "$dir/tables/removed-asio.tsv" "The ASIO registrations" "View" "Driver" "CLSID" \
        "Description" "COM server" "Threading"
      demo_html_table "$dir/tables/removed-endpoints.tsv" "Endpoints with a Mixolyte name" "Flow" "Channel" \
        "Name" "Icon" "Endpoint"
      demo_html_table "$dir/tables/removed-service.tsv" "The DAZA driver's service" "Value" "Type" "Data"
      demo_html_table "$dir/tables/removed-restart.tsv" "Left for Windows to delete or rename at its next start" \
        "Path" "What Windows does with it"
    fi
    printf '<h2>5. The Install offer at 150%% display scaling</h2>\n'
    demo_html_pictures "$dir" '*-scaled-offer.png'
    printf '<p>The same program on a display at 144 DPI: its client area %s, closed with Esc, exit code %s.</p>\n' \
      "$(demo_run_value "$dir" scaled_client)" "$(demo_run_value "$dir" scaled_exit)"
    printf '</body></html>\n'
  } > "$page"
}
