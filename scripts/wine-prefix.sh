# Sourced by the scripts that run Windows programs under Wine: wine_prefix_start makes a Wine
# prefix of the run's own (removed when the script exits), boots it once and keeps one Wine
# server up for the whole run, so each program starts without starting a server. Windows sees
# Brasília's time zone, as the shops'.
WINE64=/usr/lib/wine/wine64

wine_prefix_start() {
    wine_work=$(mktemp -d /tmp/qv-wine.XXXXXX)
    trap wine_prefix_remove EXIT
    export WINEPREFIX=$wine_work/prefix WINEDEBUG=-all WINEARCH=win64
    # No Mono or Gecko installer dialogs: nothing here needs them, and nothing may be downloaded.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export TZ=America/Sao_Paulo
    local start=$SECONDS
    # One server for the whole run, started first so that it outlives wineboot.
    mkdir -p "$WINEPREFIX"
    "${WINE64%/*}/wineserver" -p
    timeout 300 "$WINE64" wineboot -i >/dev/null 2>&1
    # Wine sets TEMP and TMP from the registry whatever the environment says: taken from
    # QV_TEST_TEMP instead, each test names the temporary folder of the program it starts.
    local name
    for name in TEMP TMP; do
        timeout 60 "$WINE64" reg add 'HKCU\Environment' /v $name /t REG_EXPAND_SZ /d '%QV_TEST_TEMP%' /f >/dev/null 2>&1
    done
    export QV_TEST_TEMP="Z:${TMPDIR:-/tmp}"
    QV_TEST_TEMP=${QV_TEST_TEMP//\//\\}
    echo "Wine prefix ready in $((SECONDS - start)) s"
}

# A first boot (wineboot -i) leaves two service managers in the prefix, each answering some
# of the requests with its own list of services; a test of services boots it once more, with
# a fresh server, so that one manager knows them all.
wine_prefix_reboot() {
    timeout 30 "${WINE64%/*}/wineserver" -k 2>/dev/null || true
    timeout 30 "${WINE64%/*}/wineserver" -w 2>/dev/null || true
    "${WINE64%/*}/wineserver" -p
    timeout 120 "$WINE64" wineboot >/dev/null 2>&1
}

wine_prefix_remove() {
    WINEPREFIX=$wine_work/prefix timeout 30 "${WINE64%/*}/wineserver" -k 2>/dev/null || true
    rm -rf "$wine_work"
}
