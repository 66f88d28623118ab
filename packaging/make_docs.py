#!/usr/bin/env python3
"""Makes the installed documents that come from the build: the trawlix-cli manual page
(from the program's own help, so that it never disagrees with it), the Debian changelog
and gzip copies of fixed pages. Everything is compressed as Debian expects it (gzip -9,
no name and no time stamp inside), so that the same sources give the same bytes.

    make_docs.py cli-manual CLI VERSION DATE OUT.gz
    make_docs.py changelog VERSION DATE MAINTAINER OUT.gz
    make_docs.py gzip IN OUT.gz
"""
import datetime
import gzip
import io
import os
import re
import subprocess
import sys
import tempfile


def write_gzip(path, text):
    buffer = io.BytesIO()
    with gzip.GzipFile(filename="", mode="wb", compresslevel=9, fileobj=buffer, mtime=0) as out:
        out.write(text.encode("utf-8"))
    tmp = path + ".tmp"
    with open(tmp, "wb") as out:
        out.write(buffer.getvalue())
    os.replace(tmp, path)


def roff(text):
    """Plain text as roff: backslashes and dashes escaped, no line read as a request."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return re.sub(r"^([.'])", r"\\&\1", text, flags=re.M)


def cli_help(cli):
    # The help needs no profile, but a fresh one keeps a build from touching the builder's.
    with tempfile.TemporaryDirectory() as profile:
        env = dict(os.environ, TRAWLIX_DATA_DIR=os.path.join(profile, "data"),
                   TRAWLIX_CONFIG_DIR=os.path.join(profile, "config"))
        return subprocess.run([cli, "help"], check=True, capture_output=True, text=True, env=env).stdout


def parse_help(text):
    """The usage line's arguments and every command line as (name, arguments)."""
    lines = text.splitlines()
    usage = re.match(r"usage: trawlix-cli (.*)", lines[0])
    if not usage or "commands:" not in lines:
        raise ValueError("trawlix-cli help is not in the expected form:\n" + text)
    commands = []
    for line in lines[lines.index("commands:") + 1:]:
        if line.strip():
            name, _, arguments = line.strip().partition(" ")
            commands.append((name, arguments.strip()))
    if not commands:
        raise ValueError("trawlix-cli help lists no command")
    return usage.group(1), commands


def cli_manual(cli, version, date):
    usage, commands = parse_help(cli_help(cli))
    page = [
        f'.TH TRAWLIX\\-CLI 1 "{date}" "Trawlix {version}" "User Commands"',
        ".nh",  # long option lists break between words, never inside a name
        ".ad l",
        ".SH NAME",
        "trawlix\\-cli \\- search and watch classified\\-ad sites from the command line",
        ".SH SYNOPSIS",
        ".B trawlix\\-cli",
        roff(usage),
        ".SH DESCRIPTION",
        roff("trawlix-cli is the command-line companion of the Trawlix desktop program. It works "
             "on the same data folder and settings: each command starts the session as the "
             "desktop program does, does its work and stores what changed. While the desktop "
             "program (or another command) runs on the same data folder, commands that change "
             'data answer "Trawlix is running. Close it first."; commands that only read take no '
             "lock and never change the data, and watch waits until the data folder is free."),
        ".SH OPTIONS",
        ".TP", ".BI \\-\\-data\\-dir \" DIR\"", "Use DIR as the data folder (overrides TRAWLIX_DATA_DIR).",
        ".TP", ".BI \\-\\-config\\-dir \" DIR\"", "Keep the settings in DIR (overrides TRAWLIX_CONFIG_DIR).",
        ".SH COMMANDS",
    ]
    for name, arguments in commands:
        page += [".TP", f".B {roff(name)}"]
        page.append(roff(arguments) if arguments else "(no arguments)")
    page += [
        ".SH EXIT STATUS",
        ".TP", "0", "Success.",
        ".TP", "1", "An error; the message is on standard error.",
        ".TP", "2", "Wrong usage.",
        ".SH ENVIRONMENT",
        ".TP", ".B TRAWLIX_DATA_DIR",
        roff("The data folder; else $XDG_DATA_HOME/Trawlix, by default ~/.local/share/Trawlix."),
        ".TP", ".B TRAWLIX_CONFIG_DIR",
        roff("The settings folder; else $XDG_CONFIG_HOME/VelmoraSolutions/Trawlix, by default "
             "~/.config/VelmoraSolutions/Trawlix."),
        ".SH FILES",
        ".TP", ".I /usr/share/trawlix/",
        roff("The installed reference data and the empty database, copied into a new data folder "
             "on its first start; files already there are never overwritten."),
        ".TP", ".I /usr/lib/systemd/user/trawlix\\-watch.service",
        roff("The user service that watches the searches; it is installed disabled. Start it with "
             "systemctl --user enable --now trawlix-watch.service"),
        ".SH SEE ALSO",
        ".BR trawlix (1)",
    ]
    return "\n".join(page) + "\n"


def changelog(version, date, maintainer):
    when = datetime.datetime.strptime(date, "%Y-%m-%d").replace(tzinfo=datetime.timezone.utc)
    return (f"trawlix ({version}) stable; urgency=medium\n\n"
            f"  * Trawlix {version}.\n\n"
            f" -- {maintainer}  {when.strftime('%a, %d %b %Y %H:%M:%S %z')}\n")


def main(argv):
    command, args = argv[1], argv[2:]
    if command == "cli-manual" and len(args) == 4:
        write_gzip(args[3], cli_manual(*args[:3]))
    elif command == "changelog" and len(args) == 4:
        write_gzip(args[3], changelog(*args[:3]))
    elif command == "gzip" and len(args) == 2:
        with open(args[0], encoding="utf-8") as source:
            write_gzip(args[1], source.read())
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
