#!/usr/bin/env bash
# Makes the certificates for a TLS-protected server: a certificate authority of the team's own
# (kept when DIR has one already) and a server certificate signed by it for the given names.
#   tls-certs.sh DIR NAME...
# NAME is a host name (DNS) or an IP address: every name the clients use for the server must
# be among them, since the client checks the name it connected to. Writes into DIR:
#   ca.pem          the CA certificate: copy it to every workstation (the CA: setting)
#   ca-key.pem      the CA's private key: keep it private, it signs new server certificates
#   server-cert.pem, server-key.pem   for the server's ssl-cert and ssl-key options
# Environment: TLS_DAYS (validity of the server certificate, default 825), TLS_CA_DAYS
# (of a new CA, default 3650), TLS_CA_NAME (common name of a new CA).
set -euo pipefail
dir=${1:?usage: tls-certs.sh DIR NAME...}
shift
[ $# -gt 0 ] || { echo "usage: tls-certs.sh DIR NAME..." >&2; exit 2; }
command -v openssl >/dev/null || { echo "tls-certs.sh needs the openssl command" >&2; exit 1; }
days=${TLS_DAYS:-825}
ca_days=${TLS_CA_DAYS:-3650}
ca_name=${TLS_CA_NAME:-Veltrana team CA}
mkdir -p "$dir"
umask 077

san=""
for name in "$@"; do
  case "$name" in
    *[!0-9.]*) case "$name" in *:*) kind=IP ;; *) kind=DNS ;; esac ;;
    *) kind=IP ;;
  esac
  san="${san:+$san,}$kind:$name"
done

if [ ! -f "$dir/ca.pem" ] || [ ! -f "$dir/ca-key.pem" ]; then
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days "$ca_days" \
      -subj "/CN=$ca_name" -keyout "$dir/ca-key.pem" -out "$dir/ca.pem" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
fi

openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj "/CN=$1" \
    -keyout "$dir/server-key.pem" -out "$dir/server.csr" 2>/dev/null
ext=$(mktemp)
trap 'rm -f "$ext" "$dir/server.csr"' EXIT
printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\nsubjectAltName=%s\n' \
    "$san" > "$ext"
openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca-key.pem" -CAcreateserial \
    -CAserial "$dir/ca.srl" -days "$days" -sha256 -extfile "$ext" -out "$dir/server-cert.pem" 2>/dev/null
# The server reads its key and certificate; clients only ever need ca.pem.
chmod 644 "$dir/ca.pem" "$dir/server-cert.pem"
chmod 640 "$dir/server-key.pem"
echo "Certificates in $dir for: $san"
