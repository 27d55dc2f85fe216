"""Where a live show's frames go: sACN (E1.31), Art-Net and OSC, each through a well-kept library.

Outputs only carry bytes: the show hands every output the whole frame, each DMX universe as 512
bytes and every fixture's position, and the output sends what it carries. Nothing is sent to a
broadcast or multicast address unless the rig names one, and no output binds a protocol's own
port (a receiver on the same machine owns it): sockets take a free port.

* sACN builds its packets with `sacn` and sends them unicast on its own socket, so that the
  library's sender thread, universe discovery and multicast sync (which it sends even for
  unicast outputs) stay out of it. Every universe keeps its own sequence numbers; with `sync`
  a synchronization packet follows each frame, and stopping sends stream termination.
* Art-Net sends with `npartnet` (MIT licensed, numpy buffers, a sequence number per universe,
  ArtSync on request, unicast only).
* OSC sends with `python-osc`: one bundle per frame and in it one message per fixture, at
  `<prefix>/<fixture name>` with its x, y and z.
"""

from __future__ import annotations

import socket
import uuid
from collections.abc import Mapping, Sequence
from typing import Any, Protocol

import numpy as np
from numpy.typing import NDArray

from .rig import Output

# How often a final packet is repeated: UDP may drop one, and a receiver must see the last frame
# and the end of the stream.
REPEATS = 3


class MissingExtraError(ImportError):
    """A protocol whose library is not installed."""


def _need(module: str, extra: str) -> Any:
    import importlib

    try:
        return importlib.import_module(module)
    except ImportError as error:
        raise MissingExtraError(
            f"sending this protocol needs {module}: pip install 'motiloom[{extra}]'"
        ) from error


class Sender(Protocol):
    """One output of a show."""

    def send(
        self, universes: Mapping[int, NDArray[np.uint8]], positions: NDArray[np.float64]
    ) -> None:
        """Send one frame: each universe's 512 bytes, and every fixture's (x, y, z)."""

    def close(self) -> None:
        """End the stream the receivers are following, and free the socket."""


def _socket() -> socket.socket:
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sender.bind(("0.0.0.0", 0))  # any free port: never the protocol's own
    return sender


class SacnSender:
    """sACN, unicast to the rig's host, one packet per universe per frame."""

    def __init__(self, output: Output, cid: tuple[int, ...] | None = None) -> None:
        sacn = _need("sacn", "live")
        from sacn.messages.sync_packet import SyncPacket

        self.output = output
        self.cid = cid or tuple(uuid.uuid4().bytes)
        sync = output.sync_universe if output.sync else 0
        self.packets = {
            u: sacn.DataPacket(
                self.cid, output.source_name, u, priority=output.priority, sync_universe=sync
            )
            for u in output.universes
        }
        self.sync = SyncPacket(self.cid, output.sync_universe, 0) if output.sync else None
        self.discovery = None
        if output.discovery:
            from sacn.messages.universe_discovery import UniverseDiscoveryPacket

            self.discovery = UniverseDiscoveryPacket.make_multiple_uni_disc_packets(
                self.cid, output.source_name, list(output.universes)
            )
        self.frames = 0
        self.socket = _socket()

    def _send(self, packet: Any) -> None:
        self.socket.sendto(bytes(packet.getBytes()), (self.output.host, self.output.port))

    def send(
        self, universes: Mapping[int, NDArray[np.uint8]], positions: NDArray[np.float64]
    ) -> None:
        for universe, packet in self.packets.items():
            packet.dmxData = universes[universe].tobytes()
            self._send(packet)
            packet.sequence_increase()
        if self.sync is not None:
            self._send(self.sync)
            self.sync.sequence_increase()
        # Universe discovery, when the rig asks for it, about every ten seconds at 44 fps.
        if self.discovery is not None and self.frames % 440 == 0:
            for packet in self.discovery:
                self._send(packet)
        self.frames += 1

    def close(self) -> None:
        try:
            for packet in self.packets.values():
                packet.option_StreamTerminated = True
                for _ in range(REPEATS):
                    self._send(packet)
                    packet.sequence_increase()
        finally:
            self.socket.close()


class ArtnetSender:
    """Art-Net, unicast to the rig's host; a rig universe is an Art-Net port address."""

    def __init__(self, output: Output) -> None:
        artnet = _need("npArtNet", "live")
        self.output = output
        self.client = artnet.ArtnetClient(
            target_ip=output.host,
            universes=list(output.universes),
            artsync=output.sync,
            port=output.port,
        )

    def send(
        self, universes: Mapping[int, NDArray[np.uint8]], positions: NDArray[np.float64]
    ) -> None:
        for universe in self.output.universes:
            self.client.set_dmx_value(universe, universes[universe])
        self.client.send_package()

    def close(self) -> None:
        self.client.close()


class OscSender:
    """OSC: one bundle per frame, one message per fixture with its x, y and z."""

    def __init__(self, output: Output, fixtures: Sequence[str]) -> None:
        _need("pythonosc", "live")
        from pythonosc import osc_bundle_builder, osc_message_builder

        self.output = output
        self.addresses = [f"{output.prefix}/{name}" for name in fixtures]
        self._bundle = osc_bundle_builder.OscBundleBuilder
        self._message = osc_message_builder.OscMessageBuilder
        self._immediately = osc_bundle_builder.IMMEDIATELY
        self.socket = _socket()

    def send(
        self, universes: Mapping[int, NDArray[np.uint8]], positions: NDArray[np.float64]
    ) -> None:
        bundle = self._bundle(self._immediately)
        for address, (x, y, z) in zip(self.addresses, positions.tolist(), strict=True):
            message = self._message(address=address)
            message.add_arg(x, "f")
            message.add_arg(y, "f")
            message.add_arg(z, "f")
            bundle.add_content(message.build())
        self.socket.sendto(bundle.build().dgram, (self.output.host, self.output.port))

    def close(self) -> None:
        self.socket.close()


def open_sender(output: Output, fixtures: Sequence[str]) -> Sender:
    """The sender for one of a rig's outputs."""
    if output.protocol == "sacn":
        return SacnSender(output)
    if output.protocol == "artnet":
        return ArtnetSender(output)
    return OscSender(output, fixtures)
