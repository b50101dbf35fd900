#!/usr/bin/env python3
"""A TCP relay on 127.0.0.1 that holds back everything it forwards, for the
benchmarks of list runs against distant servers.

One process listens on COUNT ports the kernel picks; a connection to the
k-th port is relayed to the (k mod number of targets)-th target. Every piece
of data read from either side is written to the other DELAY seconds after it
arrived, in the order it arrived, so that a request and its answer each take
DELAY longer as over a slow network, however many are in flight. Once every
port listens, "PORT HOST:TARGETPORT" lines are written to PORTS_FILE (whole,
through a rename). It runs until it receives SIGTERM or SIGINT.

    bench/delayproxy.py --count N --delay SECONDS --ports-file PATH HOST:PORT...
"""

import argparse
import asyncio
import os
import signal

CHUNK = 65536


async def pump(reader, writer, delay):
    """Reads from one side and writes to the other `delay` after each read."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def forward():
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:
                # The end of one direction reaches the other side as late as its data.
                if writer.can_write_eof():
                    writer.write_eof()
                return
            writer.write(data)
            await writer.drain()

    sender = asyncio.create_task(forward())
    try:
        while True:
            data = await reader.read(CHUNK)
            queue.put_nowait((loop.time() + delay, data or None))
            if not data:
                break
        await sender
    except (ConnectionError, OSError):
        sender.cancel()
        raise


async def relay(client_reader, client_writer, target, delay):
    try:
        upstream_reader, upstream_writer = await asyncio.open_connection(*target)
    except OSError:
        client_writer.close()
        return
    try:
        await asyncio.gather(pump(client_reader, upstream_writer, delay),
                             pump(upstream_reader, client_writer, delay))
    except (ConnectionError, OSError):
        pass
    finally:
        for writer in (client_writer, upstream_writer):
            writer.close()


def parse_target(text):
    host, _, port = text.rpartition(":")
    return host, int(port)


async def serve(args):
    targets = [parse_target(t) for t in args.targets]
    servers = []
    lines = []
    for k in range(args.count):
        target = targets[k % len(targets)]

        async def handle(reader, writer, target=target):
            await relay(reader, writer, target, args.delay)

        server = await asyncio.start_server(handle, "127.0.0.1", 0, backlog=256)
        servers.append(server)
        port = server.sockets[0].getsockname()[1]
        lines.append(f"{port} {target[0]}:{target[1]}\n")
    partial = args.ports_file + ".part"
    with open(partial, "w") as out:
        out.writelines(lines)
    os.replace(partial, args.ports_file)

    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    await stop.wait()
    for server in servers:
        server.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--count", type=int, default=1)
    parser.add_argument("--delay", type=float, default=0.05)
    parser.add_argument("--ports-file", required=True)
    parser.add_argument("targets", nargs="+", metavar="HOST:PORT")
    args = parser.parse_args()
    asyncio.run(serve(args))


if __name__ == "__main__":
    main()
