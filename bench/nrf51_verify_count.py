#!/usr/bin/env python3
"""Instructions the nRF51822 bootloader (QEMU build, with a key) spends on a signed image's
checks, counted under qemu-system-arm -M microbit -icount shift=0 (one instruction = 1 ns
of the machine's clock; counting only: its polled time-outs run some 60 times slower).

    python3 bench/nrf51_verify_count.py [BUILD_DIR] [APP_BYTES...]   # default 4096 65536

Builds the port with a throwaway key (tools/build-bootloader-nrf51.sh), signs the test
application with APP_BYTES of data appended, and flashes each image on a fresh machine in
frames (tests/bootloader/frame_flash.py). QEMU's debugger stub stops the machine at the
entry and the return of the functions below; at each stop TIMER2, which the bootloader
leaves alone, is captured through the stub's physical-memory mode: it runs at 16 MHz of
that clock, so a count is exact to 62.5 instructions. Functions nested in others are
counted in both.
"""
import os
import re
import select
import socket
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MEASURED = [
    ("fwboot_guard_begin", "the header's checks, all of them"),
    ("fwboot_ed25519_verify", "the signature's verification"),
    ("fwboot_guard_take", "the application's hash, page by page"),
    ("fwboot_guard_seal", "the hash's end and the counter"),
]
TIMER2 = 0x4000A000
INSTRUCTIONS_PER_TICK = 62.5  # 1 ns an instruction, a 16 MHz timer


class Stub:
    """The few packets of GDB's remote protocol that the count needs."""

    def __init__(self, path):
        deadline = time.monotonic() + 30
        while True:
            try:
                self.link = socket.socket(socket.AF_UNIX)
                self.link.connect(path)
                break
            except (FileNotFoundError, ConnectionRefusedError):
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.02)
        self.held = b""
        self.request("QStartNoAckMode")  # no '+' for each packet from here on
        self.request("Qqemu.PhyMemMode:1")

    def send(self, data):
        body = data.encode()
        self.link.sendall(b"$" + body + b"#%02x" % (sum(body) & 0xFF))

    def reply(self, seconds=None):
        """The next packet's data, or None when nothing came within seconds."""
        while True:
            start, end = self.held.find(b"$"), self.held.find(b"#")
            if start >= 0 and end > start and len(self.held) >= end + 3:
                data, self.held = self.held[start + 1:end], self.held[end + 3:]
                return data.decode()
            if seconds is not None and not select.select([self.link], [], [], seconds)[0]:
                return None
            chunk = self.link.recv(4096)
            if not chunk:
                raise EOFError("QEMU closed the debugger's link")
            self.held += chunk

    def request(self, data):
        self.send(data)
        answer = self.reply()
        if answer.startswith("E"):
            sys.exit("nrf51_verify_count.py: the stub refused %s: %s" % (data, answer))
        return answer

    def register(self, number):
        """r0 to r15 (the stub answers 'p' only to a client that read its target description)."""
        values = self.request("g")
        return int.from_bytes(bytes.fromhex(values[8 * number:8 * number + 8]), "little")

    def write_word(self, address, value):
        self.request("M%x,4:%s" % (address, value.to_bytes(4, "little").hex()))

    def read_word(self, address):
        return int.from_bytes(bytes.fromhex(self.request("m%x,4" % address)), "little")

    def breakpoint(self, address, on):
        self.request("%s0,%x,2" % ("Z" if on else "z", address))

    def resume(self, pc, breakpoints):
        """Goes on from a stop at pc: the stub would stop at once again on a breakpoint
        there, so it is stepped over first."""
        if pc in breakpoints:
            self.breakpoint(pc, False)
            self.request("s")
            self.breakpoint(pc, True)
        self.send("c")


class Timer:
    """TIMER2's count, set going at its first reading (only a reset stops it again)."""

    def __init__(self, stub):
        self.stub, self.going = stub, False

    def ticks(self):
        if not self.going:
            self.stub.write_word(TIMER2 + 0x504, 0)  # MODE: timer
            self.stub.write_word(TIMER2 + 0x508, 3)  # BITMODE: 32 bits
            self.stub.write_word(TIMER2 + 0x510, 0)  # PRESCALER: 16 MHz
            self.stub.write_word(TIMER2 + 0x000, 1)  # START
            self.going = True
        self.stub.write_word(TIMER2 + 0x040, 1)  # CAPTURE[0]
        return self.stub.read_word(TIMER2 + 0x540)


def symbols(elf):
    table = {}
    for line in subprocess.run(["arm-none-eabi-nm", elf], capture_output=True, text=True, check=True).stdout.splitlines():
        address, _, name = line.split()  # the ELF is linked: every symbol has its address
        table[name] = int(address, 16)
    return table


def count(work, elf, image, entries):
    """Flashes image on a fresh machine; the instructions and calls of each function."""
    gdb, serial = os.path.join(work, "gdb.sock"), os.path.join(work, "qemu.out")
    qemu = subprocess.Popen(
        ["qemu-system-arm", "-M", "microbit", "-nographic", "-kernel", elf, "-serial", "pty", "-monitor", "none",
         "-icount", "shift=0", "-S", "-gdb", "unix:%s,server=on,wait=off" % gdb,
         "-semihosting-config", "enable=on,target=native,chardev=report",
         "-chardev", "file,id=report,path=%s" % os.path.join(work, "report")],
        stdout=open(serial, "w"), stderr=subprocess.STDOUT)
    try:
        stub = Stub(gdb)
        timer = Timer(stub)
        pty = re.search(r"redirected to (/dev/pts/\d+)", open(serial).read()).group(1)  # said before the stub listens
        hold = os.open(pty, os.O_RDWR | os.O_NOCTTY)  # QEMU sends nothing to a terminal nobody holds
        breakpoints = set(entries)
        for address in breakpoints:
            stub.breakpoint(address, True)
        totals = {address: [0, 0] for address in entries}
        frames = []  # (function's entry, its return address, ticks at its entry)
        stub.send("c")
        frame_host = os.path.join(SOURCE, "tests/bootloader/frame_flash.py")
        subprocess.run([sys.executable, frame_host, pty, "--probe"], check=True)
        host = subprocess.Popen([sys.executable, frame_host, pty, image, "1000000"])
        while host.poll() is None:
            if stub.reply(0.1) is None:
                continue
            pc = stub.register(15)
            if frames and pc == frames[-1][1]:
                entry, back, began = frames.pop()
                totals[entry][0] += timer.ticks() - began
                totals[entry][1] += 1
                if back not in entries and all(frame[1] != back for frame in frames):
                    stub.breakpoint(back, False)
                    breakpoints.discard(back)
            elif pc in entries:
                back = stub.register(14) & ~1
                if back not in breakpoints:
                    stub.breakpoint(back, True)
                    breakpoints.add(back)
                frames.append((pc, back, timer.ticks()))
            stub.resume(pc, breakpoints)
        os.close(hold)
        if host.returncode != 0:
            sys.exit("nrf51_verify_count.py: the flash in frames failed")
        return totals
    finally:
        qemu.kill()
        qemu.wait()


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SOURCE, "build"))
    sizes = [int(size) for size in sys.argv[2:]] or [4096, 65536]
    with tempfile.TemporaryDirectory(prefix="fwflash-nrf51-count-") as work:
        key = os.path.join(work, "vendor")
        subprocess.run([os.path.join(build, "fwflash-boot-image"), "--new-key", key], check=True,
                       stdout=subprocess.DEVNULL)
        out = os.path.join(work, "nrf51")
        subprocess.run([os.path.join(SOURCE, "tools/build-bootloader-nrf51.sh"), "--key", key + ".pub", "--out", out,
                        "--sodium", os.path.join(build, "libsodium")], check=True)
        elf = os.path.join(out, "fwflash-boot-qemu.elf")
        table = symbols(elf)
        entries = {table[name]: (name, what) for name, what in MEASURED}
        base = open(os.path.join(out, "test-app.bin"), "rb").read()
        print("instructions, qemu-system-arm -M microbit -icount shift=0 (within 63 a call):")
        for size in sizes:
            app, image = os.path.join(work, "app.bin"), os.path.join(work, "app.img")
            with open(app, "wb") as file:
                file.write(base + bytes((i * 31 + 7) & 255 for i in range(size)))
            subprocess.run([os.path.join(build, "fwflash-boot-image"), app, image, "--sign", key + ".key",
                            "--version", "1.0.0", "--counter", "1"], check=True, stdout=subprocess.DEVNULL)
            length = len(base) + size
            print("  a signed application of %d bytes:" % length)
            for entry, (calls_ticks, calls) in count(work, elf, image, entries).items():
                name, what = entries[entry]
                instructions = calls_ticks * INSTRUCTIONS_PER_TICK
                line = "    %-38s %12.0f  %s (%d calls)" % (name, instructions, what, calls)
                if name == "fwboot_guard_take":
                    line += ", %.1f a byte" % (instructions / length)
                print(line)


if __name__ == "__main__":
    main()
