#!/usr/bin/python3
"""Certificates for the TLS tests, written as PEM files into the folder given as the argument.

  ca.pem                            a test certificate authority
  trusted.pem / trusted.key         issued by it for 127.0.0.1 and localhost
  mismatch.pem / mismatch.key       issued by it for another name only
  expired.pem / expired.key         issued by it for 127.0.0.1, expired yesterday
  selfsigned.pem / selfsigned.key   for 127.0.0.1, signed by itself
"""

import datetime
import ipaddress
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID


def name(text):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, text)])


def write(folder, stem, cert, key):
    with open(os.path.join(folder, stem + ".pem"), "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))
    if key is not None:
        with open(os.path.join(folder, stem + ".key"), "wb") as f:
            f.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                      serialization.NoEncryption()))


def issue(subject, key, issuer, issuer_key, names, days_from, days_to, ca=False):
    now = datetime.datetime.now(datetime.timezone.utc)
    builder = (x509.CertificateBuilder()
               .subject_name(name(subject))
               .issuer_name(issuer)
               .public_key(key.public_key())
               .serial_number(x509.random_serial_number())
               .not_valid_before(now + datetime.timedelta(days=days_from))
               .not_valid_after(now + datetime.timedelta(days=days_to))
               .add_extension(x509.BasicConstraints(ca=ca, path_length=None), critical=True))
    if names:
        builder = builder.add_extension(x509.SubjectAlternativeName(names), critical=False)
    return builder.sign(issuer_key, hashes.SHA256())


def main():
    folder = sys.argv[1]
    ca_key = ec.generate_private_key(ec.SECP256R1())
    ca = issue("Tarnwick test CA", ca_key, name("Tarnwick test CA"), ca_key, None, -1, 30, ca=True)
    write(folder, "ca", ca, None)
    loopback = [x509.IPAddress(ipaddress.ip_address("127.0.0.1")), x509.DNSName("localhost")]
    for stem, names, days_from, days_to in (("trusted", loopback, -1, 30),
                                            ("mismatch", [x509.DNSName("other.example")], -1, 30),
                                            ("expired", loopback, -30, -1)):
        key = ec.generate_private_key(ec.SECP256R1())
        write(folder, stem, issue("127.0.0.1", key, ca.subject, ca_key, names, days_from, days_to), key)
    key = ec.generate_private_key(ec.SECP256R1())
    write(folder, "selfsigned", issue("127.0.0.1", key, name("127.0.0.1"), key, loopback, -1, 30), key)


if __name__ == "__main__":
    main()
