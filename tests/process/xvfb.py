"""A private X display for scripts that run the game as a player would: Xvfb started on a
display number of its own choosing, reported back through a pipe, so scripts running side
by side never ask for the same one."""
import os
import select
import subprocess
import time

# How long Xvfb may take to say which display it took; only a broken server reaches it.
START_SECONDS = 30


class DisplayError(RuntimeError):
    pass


def start_display(width, height, seconds=START_SECONDS, program="Xvfb"):
    """Starts Xvfb with one screen of width x height at 24 bits and no TCP listener.
    Returns (server process, display name such as ":5"); the caller kills and waits for the
    server. Raises DisplayError when the server did not start or did not report in time."""
    read_end, write_end = os.pipe()
    try:
        server = subprocess.Popen([program, "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
                                   "-nolisten", "tcp"], pass_fds=[write_end], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
    except OSError as error:
        os.close(read_end)
        os.close(write_end)
        raise DisplayError(f"the private X server could not be run: {error}") from error
    os.close(write_end)
    number = b""
    deadline = time.time() + seconds
    try:
        while not number.endswith(b"\n"):
            # A server that hangs before reporting must not hang the script with it.
            left = deadline - time.time()
            if left <= 0 or not select.select([read_end], [], [], left)[0]:
                break
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
    finally:
        os.close(read_end)
    if not number.strip().isdigit():
        server.kill()
        server.wait()
        raise DisplayError("the private X server did not start")
    return server, ":" + number.decode().strip()
