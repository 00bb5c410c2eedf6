#!/usr/bin/env bash
# Test fixture of container_wine_test: packages ORMGEN32.EXE with
# configuration text (ormpack.exe under Wine), then signs the result with
# osslsigncode and a throw-away self-signed certificate, and verifies the
# signature. Signing runs here, natively: a Unix program started from inside
# Wine cannot be waited for and gives no exit code.
# Usage: container_sign.sh BIN_DIR   (writes BIN_DIR/container_signed/)
set -euo pipefail
bin=${1:?usage: container_sign.sh BIN_DIR}
rig=$(cd "$(dirname "${BASH_SOURCE[0]}")/../rig" && pwd)
work=$bin/container_signed
rm -rf "$work"
mkdir -p "$work"
cp "$bin/probe.exe" "$work/probe.exe"
printf '; signed product\r\n[Product]\r\nName="Signed container test"\r\n' > "$work/signed.ini"

cd "$bin"
"$rig/wine-run.sh" ormpack.exe build ORMGEN32.EXE -o 'container_signed\unsigned.exe' \
  --program '$SHELLDIR\probe.exe' --wait --config-required --config 'container_signed\signed.ini'
test -s "$work/unsigned.exe"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Ormsted container test' \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n 'Ormsted container test' \
  -in "$work/unsigned.exe" -out "$work/signed.exe"
grep -q 'Signature verification: ok' <<<"$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed.exe")"
echo "signed and verified: $work/signed.exe"

# The attack on a signed shell: a container placed inside the certificate
# table, which the signature does not cover. The signature must still
# verify, or the test would show nothing; the shell must ignore the plant.
printf 'this line is not configuration text\r\n' > "$work/planted_bad.ini"
printf '[Product]\r\nName="planted"\r\n' > "$work/planted_good.ini"
for kind in bad good; do
  "$rig/wine-run.sh" plant_container.exe 'container_signed\signed.exe' \
    "container_signed\\planted_$kind.exe" "container_signed\\planted_$kind.ini"
  report=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/planted_$kind.exe" 2>&1) || {
    echo "$report"; echo "planted_$kind.exe: the signature no longer verifies"; exit 1; }
  grep -q 'Signature verification: ok' <<<"$report"
  echo "planted and still verified: $work/planted_$kind.exe"
done
