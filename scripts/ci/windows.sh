#!/usr/bin/env bash
# The Windows program: cross-built with mingw-w64 (jsoncpp and SQLite from
# Debian's sources, fetched by the configure step), packed as the download
# zip, then checked under Wine. Runs its unit checks (a serial port and the
# message store's file among them) and the suites shared with Linux, and
# end-to-end checks of the Tellmar.exe unpacked from the zip against the
# simulator of the Linux build: help and version, a scan, a Chinese send and
# an inbox read in a Chinese (GBK) code page and in the default one, the AT
# trace, the menu fed through a pipe, bad ports, and a scan of 70 ports.
#
#   scripts/ci/windows.sh BUILD_DIR      (the Linux build, for the simulator)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
native=$(cd "${1:-build}" && pwd)
out="$native/windows"
modemsim="$native/tools/modemsim/tellmar-modemsim"
start=$SECONDS

phase() {
    echo "== windows: $1 ($((SECONDS - start)) s)"
}

# ---- packages ---------------------------------------------------------------
# tcl: tclsh makes SQLite's amalgamation; scdoc and groff the manual's text.
"$root/scripts/deps.sh" g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev locales googletest \
    tcl scdoc groff-base
phase "packages"

# ---- cross build and the download zip ---------------------------------------
# What the build tree keeps (the Debian sources, SQLite's amalgamation, the
# objects) is not made again on a later run with the same BUILD_DIR.
mkdir -p "$out"
cmake -S "$root" -B "$out/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DTELLMAR_WERROR=ON >"$out/configure.log" 2>&1 ||
    { tail -30 "$out/configure.log"; exit 1; }
phase "configure (Debian sources of jsoncpp and SQLite)"
cmake --build "$out/build" -j"$(nproc)"
phase "cross build"
rm -f "$out/build"/Tellmar-*-win64.zip
cmake --build "$out/build" --target package >/dev/null
zips=("$out/build"/Tellmar-*-win64.zip)
if ((${#zips[@]} != 1)) || [[ ! -f ${zips[0]} ]]; then
    echo "windows: the package step made no Tellmar-<version>-win64.zip" >&2
    exit 1
fi
zip=${zips[0]}
phase "zip $(basename "$zip")"

# ---- Wine ------------------------------------------------------------------
work=$(mktemp -d /tmp/tellmar-wine-XXXXXX)
sims=()
cleanup() {
    for pid in "${sims[@]}"; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    done
    WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# Making the prefix starts a wineserver and a dozen Windows processes; on a
# loaded machine it once failed (status 53) without a word. A failure shows
# Wine's error lines and is tried once more in a fresh prefix.
make_prefix() {
    rm -rf "$WINEPREFIX"
    WINEDEBUG=err+all wineboot -i >"$work/wineboot.log" 2>&1 && wineserver -w
}
if ! make_prefix; then
    echo "== windows: making the Wine prefix failed; its last lines, then a second try:"
    tail -20 "$work/wineboot.log"
    wineserver -k 2>/dev/null || true
    make_prefix || { tail -40 "$work/wineboot.log"; exit 1; }
fi
# A folder in the place of com1 keeps the host's ttyS0 out of the port list.
rm -f "$WINEPREFIX/dosdevices/com1"
mkdir -p "$WINEPREFIX/dosdevices/com1"
# Wine picks the ANSI code page from the locale: 936 (GBK) for zh_CN.
mkdir -p "$work/locale"
localedef -i zh_CN -f UTF-8 "$work/locale/zh_CN.UTF-8" 2>/dev/null ||
    [[ -d "$work/locale/zh_CN.UTF-8" ]]
chinese=(env LOCPATH="$work/locale" LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8)
default=(env LANG=C.UTF-8 LC_ALL=C.UTF-8)
phase "Wine prefix"

passed=0
failed=0
pass() {
    passed=$((passed + 1))
    echo "  ok: $1"
}
fail() {
    failed=$((failed + 1))
    echo "  FAILED: $1"
    if [[ -n "${2:-}" && -f "$2" ]]; then
        sed -n '1,80p' "$2" | iconv -f GBK -t UTF-8 -c || true
    fi
}
# expect NAME FILE PATTERN...: every pattern (grep -E, on the output turned
# from GBK into UTF-8) occurs in FILE.
expect() {
    local name=$1 file=$2
    shift 2
    local text
    text=$(iconv -f GBK -t UTF-8 -c <"$file")
    for pattern in "$@"; do
        if ! grep -qE -- "$pattern" <<<"$text"; then
            fail "$name: no /$pattern/" "$file"
            return
        fi
    done
    pass "$name"
}
# ---- the zip, unpacked into a fresh folder: the checks below run its Tellmar.exe ----
unpacked="$work/unpacked"
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip")
top=$(basename "$zip" .zip)
listing=$(cd "$unpacked" && find . | sort | tr '\n' ' ')
if [[ $listing == ". ./$top ./$top/LICENSE ./$top/README.md ./$top/Tellmar-manual.txt ./$top/Tellmar.exe " ]] &&
   grep -q '^SYNOPSIS' "$unpacked/$top/Tellmar-manual.txt" &&
   grep -q 'Permission is hereby granted' "$unpacked/$top/LICENSE"; then
    pass "the zip holds Tellmar.exe, README, LICENSE and the manual as text"
else
    echo "  (the zip holds: $listing)"
    fail "the zip holds Tellmar.exe, README, LICENSE and the manual as text"
fi
exe="$unpacked/$top/Tellmar.exe"

# run OUT LOCALE... -- ARGS: runs Tellmar.exe with no input, standard output
# into OUT and standard error into OUT.err; fails the check on a non-zero
# status or after 120 s.
run() {
    local outFile=$1
    shift
    local envCmd=()
    while [[ $1 != -- ]]; do
        envCmd+=("$1")
        shift
    done
    shift
    if ! timeout 120 "${envCmd[@]}" wine "$exe" "$@" </dev/null >"$outFile" 2>"$outFile.err"; then
        echo "  (Tellmar.exe $* ended with status $? )" >>"$outFile"
        return 1
    fi
}

# ---- the simulated modems ------------------------------------------------------
# start_sim DIR CONFIG: starts the simulator, waits for READY.
start_sim() {
    local dir=$1 config=$2
    mkdir -p "$dir"
    printf '%s\n' "$config" >"$dir.json"
    "$modemsim" --config "$dir.json" --dir "$dir/ports" >"$dir.out" 2>&1 &
    sims+=($!)
    for _ in $(seq 100); do
        grep -q READY "$dir.out" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "simulator did not start:" >&2
    cat "$dir.out" >&2
    return 1
}
# register COM<n> LINK: the port appears under SerialComm at Wine's next start.
register() {
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1
}
restart_wine() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    # Wine's background services, started detached: a program's piped output
    # would otherwise stay open behind them.
    wine cmd /c exit </dev/null >/dev/null 2>&1
}

start_sim "$work/sim" '{"ports": [
  {"com": 5, "model": "M35", "bauds": [9600], "iccid": "89860012345678901234", "csq": "23,99",
   "storage": {"SM": [{"index": 1, "status": 1, "from": "13912345678", "time": "24-05-01 09:30:00",
                       "text": "你好，今天下午三点开会。", "dcs": 8}]},
   "ussd": [{"code": "*100#", "text": "Balance: 12 CNY", "form": "packed"}]},
  {"com": 6, "model": "CLM920_NC5", "bauds": [115200]},
  {"com": 7, "model": "silent"}]}'
register 5 "$work/sim/ports/COM5"
register 6 "$work/sim/ports/COM6"
register 7 "$work/sim/ports/COM7"
restart_wine
log="$work/sim/ports/modemsim-log.jsonl"
phase "simulator"

# ---- unit checks and the shared suites ---------------------------------------
# The serial checks talk to the simulated M35 on COM5.
if TELLMAR_WINE_TEST_PORT=COM5 wine "$out/build/tests/win32/win32_tests.exe" \
        >"$work/win32_tests.txt" 2>&1 && ! grep -q '^\[  SKIPPED \]' "$work/win32_tests.txt"; then
    pass "Win32 backend unit checks ($(grep -Eo '[0-9]+ tests? from [0-9]+ test suites? ran' "$work/win32_tests.txt"))"
else
    fail "Win32 backend unit checks" "$work/win32_tests.txt"
fi
if wine "$out/build/tests/win32/shared_tests.exe" >"$work/shared_tests.txt" 2>&1; then
    pass "codec, driver, discovery, document and probe suites ($(grep -Eo '[0-9]+ tests? from [0-9]+ test suites? ran' "$work/shared_tests.txt"))"
else
    fail "codec, driver, discovery, document and probe suites" "$work/shared_tests.txt"
fi
phase "unit checks"

# ---- help and version ----------------------------------------------------------
if run "$work/help.txt" "${chinese[@]}" -- help; then
    expect "help in code page 936" "$work/help.txt" "^-{8} " "查看帮助信息" "Tellmar.exe sms readclear"
else
    fail "help in code page 936" "$work/help.txt"
fi
# The version of project(VERSION), as the Linux build was configured with it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$native/CMakeCache.txt")
version_re=${version//./\\.}
if run "$work/version.txt" "${chinese[@]}" -- --version; then
    expect "version" "$work/version.txt" \
        "^${version_re}版本 编译时间 [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}  编译器版本[0-9]+$"
else
    fail "version" "$work/version.txt"
fi
if run "$work/version-default.txt" "${default[@]}" -- v; then
    expect "version in the default code page" "$work/version-default.txt" "^${version_re}.* [0-9]{4} [0-9:]{8} .*[0-9]+$"
else
    fail "version in the default code page" "$work/version-default.txt"
fi

# ---- the scan, through the menu: one table, then "q" ------------------------------
scanStart=$(wc -l <"$log")
if printf 'q' | timeout 120 "${chinese[@]}" wine "$exe" >"$work/scan.txt" 2>&1; then
    expect "scan lists the simulated ports" "$work/scan.txt" \
        "^COM5 +9600 +OK +89860012345678901234 +23,99 +866000000000005$" \
        "^COM7 +115200 +不AT +未读卡 +无信号 +无效序列号$" \
        "回车键刷新 1发送短信 2接收短信 q退出"
    if grep -qE '^COM1 ' "$work/scan.txt"; then
        fail "only the registered ports are listed" "$work/scan.txt"
    fi
else
    fail "scan lists the simulated ports" "$work/scan.txt"
fi
scanCommands=$(tail -n +"$((scanStart + 1))" "$log" | grep -c '"com":5,"event":"command"' || true)

# ---- a Chinese send and an inbox read, in both code pages --------------------------
for page in chinese default; do
    declare -n envRef=$page
    text="中文短信${page}"
    if run "$work/send-$page.txt" "${envRef[@]}" -- 5 13800138000 "$text"; then
        expect "send a Chinese text ($page code page)" "$work/send-$page.txt" \
            '"code" : 0,' '"com" : "COM5",' '"message" : "Succeed",' '"number" : "13800138000",'
        # The probe's notes (the CLM920_NC5's network mode on COM6) go to
        # standard error: standard output is the document alone.
        if [[ $(head -c1 "$work/send-$page.txt") == "{" &&
              $(grep -v '^$' "$work/send-$page.txt" | tail -1) == "}" ]] &&
           grep -qF 'COM6 > MODECONFIG' "$work/send-$page.txt.err"; then
            pass "standard output is the document alone ($page code page)"
        else
            fail "standard output is the document alone ($page code page)" "$work/send-$page.txt"
        fi
        if grep -F '"event":"sms"' "$log" | grep -qF "\"text\":\"$text "; then
            pass "the modem got the text ($page code page)"
        else
            fail "the modem got the text ($page code page)" "$log"
        fi
    else
        fail "send a Chinese text ($page code page)" "$work/send-$page.txt"
    fi
    if run "$work/read-$page.txt" "${envRef[@]}" -- SMS READ; then
        expect "sms read ($page code page)" "$work/read-$page.txt" \
            '"portcount" : 1,' '"name" : "COM5"' '"msgcount" : 1,' '"storage" : "SIM",' \
            '"text" : "\\u4f60\\u597d\\uff0c\\u4eca\\u5929\\u4e0b\\u5348\\u4e09\\u70b9\\u5f00\\u4f1a\\u3002",' \
            '"type" : "read"'
    else
        fail "sms read ($page code page)" "$work/read-$page.txt"
    fi
    unset -n envRef
done

# ---- the ports document, and an inbox command for named ports ----------------------
if run "$work/ports.txt" "${default[@]}" -- sports; then
    expect "the ports document" "$work/ports.txt" \
        '"com":"COM5"[^}]*"model":"Quectel M35"[^}]*"state":"usable"' \
        '"com":"COM6"[^}]*"reason":"no SIM card"[^}]*"state":"no SIM"' \
        '"com":"COM7"[^}]*"reason":"no answer"[^}]*"state":"not AT"'
else
    fail "the ports document" "$work/ports.txt"
fi
if run "$work/named.txt" "${default[@]}" -- sms sread COM5,7; then
    expect "an inbox command for named ports" "$work/named.txt" \
        '"portcount":1,"ports":\[\{"msgcount":1,' '"unavailable":\[\{"error":"no answer","name":"COM7"\}\]'
else
    fail "an inbox command for named ports" "$work/named.txt"
fi

# ---- a USSD request: packed septets decoded, a code that is no code refused ------------
if run "$work/ussd.txt" "${default[@]}" -- ussd COM5 '*100#' &&
    run "$work/ussd-bad.txt" "${default[@]}" -- ussd COM5 '*100#;'; then
    expect "a USSD request" "$work/ussd.txt" '"com" : "COM5"' '"reply" : "Balance: 12 CNY"'
    expect "a USSD code that is no code" "$work/ussd-bad.txt" '"message" : "ussd code error"'
else
    fail "a USSD request" "$work/ussd.txt"
fi

# ---- the AT trace -------------------------------------------------------------------
if run "$work/trace-read.txt" "${default[@]}" TELLMAR_TRACE="$work/trace.txt" -- sms read; then
    expect "the AT trace of an inbox read" "$work/trace.txt" \
        '^[0-9]+ COM5 > AT\\r$' '^[0-9]+ COM5 < .*OK\\r\\n' '^[0-9]+ COM7 > AT\\r$'
else
    fail "the AT trace of an inbox read" "$work/trace-read.txt"
fi

# ---- the menu through a pipe: refresh, receive from COM5, end of input -------------
if printf '\r25\n' | timeout 180 "${chinese[@]}" wine "$exe" >"$work/menu.txt" 2>&1; then
    expect "menu fed through a pipe" "$work/menu.txt" \
        "请输入设备端口号" "端口 COM5 接收短信成功 共 1 条短信" "短信内容: 你好，今天下午三点开会。"
    tables=$(grep -c "回车键刷新" <(iconv -f GBK -t UTF-8 -c "$work/menu.txt") || true)
    # The first table, the one after Enter, the one after the dialogue; then
    # the end of input reads as "q".
    if [[ $tables == 3 ]]; then
        pass "end of input quits the menu"
    else
        fail "end of input quits the menu ($tables tables)" "$work/menu.txt"
    fi
else
    fail "menu fed through a pipe" "$work/menu.txt"
fi

# ---- bad ports ------------------------------------------------------------------
if run "$work/beyond.txt" "${default[@]}" -- 99 13800138000 hi; then
    expect "a port beyond the registry's list" "$work/beyond.txt" '"code" : 1,' '"message" : "com port error",'
else
    fail "a port beyond the registry's list" "$work/beyond.txt"
fi

# A modem pulled in the middle of a send: it vanishes two commands after
# what one scan asks of it. Another pulled in the middle of its listing:
# the read sees it at once, not after the silence limit.
if ((scanCommands > 0)); then
    start_sim "$work/sim2" "{\"ports\": [{\"com\": 8, \"model\": \"M35\", \"bauds\": [9600],
      \"iccid\": \"89860012345678901238\", \"faults\": {\"vanish_after_commands\": $((scanCommands + 2))}},
      {\"com\": 9, \"model\": \"M35\", \"bauds\": [9600], \"iccid\": \"89860012345678901239\",
       \"storage\": {\"ME\": [{\"from\": \"10086\", \"time\": \"24-05-01 09:30:00\", \"text\": \"kept\"}],
                    \"SM\": [{\"from\": \"10086\", \"time\": \"24-05-01 09:31:00\", \"text\": \"kept\"}]},
       \"faults\": {\"vanish_in_reply\": {\"prefix\": \"AT+CMGL\", \"bytes\": 40}}}]}"
    register 8 "$work/sim2/ports/COM8"
    register 9 "$work/sim2/ports/COM9"
    restart_wine
    if run "$work/vanish.txt" "${default[@]}" -- 8 13800138000 hi; then
        expect "a modem that vanishes during a send" "$work/vanish.txt" \
            '"code" : 1,' '"com" : "COM8",' '"message" : "[^"]+",'
    else
        fail "a modem that vanishes during a send" "$work/vanish.txt"
    fi
    # The read sees the line gone within one read of the piece, well inside
    # the silence limit ("No answer within 10 s" without the port's status).
    if run "$work/vanish-read.txt" "${default[@]}" TELLMAR_TRACE="$work/vanish-read.trace" \
        -- sms sread 9; then
        gone=$(awk '$2 == "COM9" && $3 == "<" {last = $1} $2 == "COM9" && $3 == "!" && last {
                        print $1 - last; exit }' "$work/vanish-read.trace" 2>/dev/null || true)
        echo "  (the read of a modem pulled during its listing failed ${gone:-?} ms after its last bytes)"
        if grep -q 'No answer' "$work/vanish-read.txt"; then
            fail "a modem that vanishes during its listing is seen at once" "$work/vanish-read.txt"
        else
            expect "a modem that vanishes during its listing is seen at once" "$work/vanish-read.txt" \
                '"name" *: *"COM9"' '"error" *: *"Code:[0-9]+ ' '"msgcount" *: *0'
        fi
    else
        fail "a modem that vanishes during its listing is seen at once" "$work/vanish-read.txt"
    fi
else
    fail "a modem that vanishes during a send (no scan commands counted)"
fi
# More ports than one WaitForMultipleObjects call can wait for (64): every
# probe is waited for and every port listed.
ports='{"ports": ['
reg="$work/many.reg"
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n' >"$reg"
for n in $(seq 101 170); do
    ports+="{\"com\": $n, \"model\": \"silent\"},"
    printf '"COM%d"="%s"\n' "$n" "$work/sim3/ports/COM$n" >>"$reg"
done
start_sim "$work/sim3" "${ports%,}]}"
wine regedit /S "$reg" >/dev/null 2>&1
restart_wine
if printf 'q' | timeout 120 "${default[@]}" wine "$exe" >"$work/many.txt" 2>&1; then
    rows=$(grep -cE '^COM1[0-7][0-9] +115200 ' "$work/many.txt" || true)
    if [[ $rows == 70 ]]; then
        pass "a scan of 70 ports"
    else
        fail "a scan of 70 ports ($rows rows)" "$work/many.txt"
    fi
else
    fail "a scan of 70 ports" "$work/many.txt"
fi
# The watch: it starts, streams the one message of its modem, deletes it
# once the line is written, and ends with status 0 on Ctrl+C (SIGINT).
start_sim "$work/sim4" '{"ports": [{"com": 10, "model": "M35", "bauds": [9600],
  "iccid": "89860012345678901230",
  "storage": {"SM": [{"index": 1, "from": "13912345678", "time": "24-05-01 09:30:00",
                      "text": "watched under Wine"}]}}]}'
register 10 "$work/sim4/ports/COM10"
restart_wine
"${default[@]}" wine "$exe" sms watch 10 </dev/null >"$work/watch.txt" 2>"$work/watch.txt.err" &
watcher=$!
for _ in $(seq 120); do
    grep -q '"type":"message"' "$work/watch.txt" 2>/dev/null &&
        grep -q '"event":"delete"' "$work/sim4/ports/modemsim-log.jsonl" 2>/dev/null && break
    sleep 0.5
done
kill -INT "$watcher" 2>/dev/null || true
for _ in $(seq 60); do
    kill -0 "$watcher" 2>/dev/null || break
    sleep 0.5
done
kill -KILL "$watcher" 2>/dev/null || true
watchStatus=0
wait "$watcher" || watchStatus=$?
if ((watchStatus == 0)) &&
   grep -q '"event":"delete","index":1,"storage":"SM"' "$work/sim4/ports/modemsim-log.jsonl"; then
    expect "sms watch streams a message and stops on Ctrl+C" "$work/watch.txt" \
        '^\{"com":"COM10","state":"ready","type":"port"\}$' \
        '"sim":"89860012345678901230","storage":"SIM","text":"watched under Wine"'
else
    fail "sms watch streams a message and stops on Ctrl+C (status $watchStatus)" "$work/watch.txt"
fi
phase "end-to-end checks"

echo "windows: $passed passed, $failed failed"
((failed == 0))
