#!/usr/bin/env bash
# Signs a release with a throwaway CA's code-signing certificate, as a vendor
# signs with theirs, and checks every program in the ZIP and the MSI, and the
# MSI itself, with osslsigncode verify; a program with one byte changed must
# fail it.
# Usage: signing.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d "$root/build/signing-test.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"

# The password only ever in a file, as the release takes it.
head -c 24 /dev/urandom | base64 >password
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Kelvra test CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Kelvra test signer" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext \
  -out signer.pem 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -passout file:password -out signer.p12

# A timestamp authority of the same CA, on this machine: no network needed.
openssl req -newkey rsa:2048 -nodes -keyout tsa.key -out tsa.csr -subj "/CN=Kelvra test timestamps" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=critical,timeStamping\n' >tsa.ext
openssl x509 -req -in tsa.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile tsa.ext -out tsa.pem 2>/dev/null
printf '%s\n' "[tsa]" "default_tsa = kelvra" "[kelvra]" "serial = $work/tsa-serial" "signer_digest = sha256" \
  "default_policy = 1.3.6.1.4.1.99999.1" "digests = sha256" "ess_cert_id_alg = sha256" >tsa.cnf
python3 "$root/tests/release/timestamp-authority.py" "$work" tsa-port &
authority=$!
trap 'kill "$authority" 2>/dev/null; wait "$authority" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 1 100); do [ -s tsa-port ] && break; sleep 0.1; done
[ -s tsa-port ] || { echo "Signing: the timestamp authority did not start" >&2; exit 1; }

KELVRA_SIGN_PKCS12="$work/signer.p12" KELVRA_SIGN_PASSWORD_FILE="$work/password" \
  KELVRA_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat tsa-port)/" bash "$root/scripts/release.sh" "$work/out"

mkdir zip msi
(cd zip && cmake -E tar xf "$(echo "$work"/out/Kelvra-*-win32.zip)")
msiextract -C msi "$(echo "$work"/out/Kelvra-*.msi)" >/dev/null
failures=0
# Debian 12 ships 2.5, its backports 2.9: both must do, and their verify reports differ.
osslsigncode --version 2>&1 | head -n 1 | sed "s/,.*//"
# Signed by our signer through our CA, SHA-256, timestamped by our authority.
verify() {
  local output status=0
  output="$(osslsigncode verify -CAfile ca.pem -TSA-CAfile ca.pem -in "$1" 2>&1)" || status=$?
  if [ "$status" -ne 0 ] || ! grep -q "Subject: /CN=Kelvra test signer" <<<"$output" ||
    ! grep -q "^Message digest algorithm *: SHA256" <<<"$output" ||
    ! grep -q "^Timestamp Server Signature verification: ok" <<<"$output"; then
    echo "$output" >&2
    echo "Signing: $1 does not verify as signed and timestamped (status $status)" >&2
    failures=$((failures + 1))
    return
  fi
  echo "${1#"$work"/}: signer CN=Kelvra test signer, SHA256, timestamp $(
    sed -n -e 's/^[[:space:]]*Timestamp time: //p' -e 's/^The signature is timestamped: //p' <<<"$output" |
      head -n 1) verified, signature verification ok"
}
for program in Kelvra.exe KelvraStation.exe kelvra-cli.exe kelvra-ledger.exe kelvra-image.exe; do
  verify zip/Kelvra-*-win32/"$program"
  verify "msi/Program Files/Kelvra/$program"
done
verify out/Kelvra-*.msi

# One byte changed in the middle of a program, in its code or data.
cp zip/Kelvra-*-win32/Kelvra.exe changed.exe
size=$(stat -c %s changed.exe)
printf '\x5a' | dd of=changed.exe bs=1 seek=$((size / 2)) conv=notrunc status=none
cmp -s changed.exe zip/Kelvra-*-win32/Kelvra.exe && { echo "Signing: the byte was not changed" >&2; exit 1; }
if osslsigncode verify -CAfile ca.pem -in changed.exe >changed.log 2>&1; then
  echo "Signing: Kelvra.exe with one byte changed still verifies" >&2
  failures=$((failures + 1))
else
  echo "Kelvra.exe with one byte changed: $(grep -m1 MISMATCH changed.log | tr -s ' ' ' '); $(grep -m1 "^Signature verification" changed.log)"
fi
# A wrong password fails the release, and leaves no release to be shipped,
# not even the one an earlier run wrote there.
echo "not the password" >wrong-password
if KELVRA_SIGN_PKCS12="$work/signer.p12" KELVRA_SIGN_PASSWORD_FILE="$work/wrong-password" \
  bash "$root/scripts/release.sh" "$work/out" >refused.log 2>&1; then
  echo "Signing: a wrong password did not fail the release" >&2
  failures=$((failures + 1))
elif [ -n "$(ls out)" ]; then
  echo "Signing: a failed release left $(ls out | tr '\n' ' ')" >&2
  failures=$((failures + 1))
else
  echo "A wrong password: $(grep -m1 "^release:" refused.log), nothing written"
fi
[ "$failures" -eq 0 ]
