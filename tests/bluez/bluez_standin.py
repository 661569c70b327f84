#!/usr/bin/python3
"""A BlueZ stand-in for Tarvex's tests: python3-dbusmock's bluez5 template on
a private system bus, with GATT services added as BlueZ exports them.

Started by the tests (or by hand, see the README). It starts its own
dbus-daemon, prints one line

    BUS <address>

and then reads commands from its standard input, one per line, answering each
with "OK ..." or "ERR ...". What the program does to the stand-in is printed
as event lines as it happens:

    CONNECT <address>            Device1.Connect called
    DISCONNECT <address>         Device1.Disconnect called
    START_NOTIFY <address> <uuid> / STOP_NOTIFY ...
    WRITE <address> <uuid> <hex> a characteristic or descriptor write
    READ <address> <uuid>        a value read

Commands:

    adapter <hci>                       add an adapter (powered)
    power <hci> 0|1                     switch it off or on
    remove_adapter <hci>                remove it with all its devices
    device <hci> <address> <rssi> <le|classic> <name...>
                                        a device in range (name may be empty)
    rssi <address> <rssi>               a new advert with another strength
    gatt <address> <json>               its GATT table: [{"uuid": s, "chars":
                                        [{"uuid": c, "flags": [...],
                                          "descs": [d, ...]}]}]
    connect_mode <address> ok|fail|hang  how Device1.Connect answers
    notify_mode <address> ok|hang       how StartNotify answers
    notify <address> <uuid> <hex>       a notification (Value changed)
    drop <address>                      the device drops the link
    forget <address>                    BlueZ removes the device object
    reset                               no adapter, no device
    quit

The stand-in ends when its standard input closes (the test that started it
ended, however), and takes its dbus-daemon with it.
"""

import ctypes
import json
import os
import signal
import subprocess
import sys
import tempfile

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

import dbusmock
import dbusmock.mockobject as mockobject

OM = 'org.freedesktop.DBus.ObjectManager'
ADAPTER = 'org.bluez.Adapter1'
DEVICE = 'org.bluez.Device1'
SERVICE = 'org.bluez.GattService1'
CHAR = 'org.bluez.GattCharacteristic1'
DESC = 'org.bluez.GattDescriptor1'

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:dir={dir}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
"""


def die_with_parent():
    # The bus goes when the stand-in goes, however it ends.
    libc = ctypes.CDLL('libc.so.6', use_errno=True)
    libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def out(line):
    sys.stdout.write(line + '\n')
    sys.stdout.flush()


def norm_uuid(u):
    u = u.lower()
    if len(u) == 4:
        return '0000' + u + '-0000-1000-8000-00805f9b34fb'
    return u


def dev_path(hci, address):
    return '/org/bluez/' + hci + '/dev_' + address.upper().replace(':', '_')


class StandIn:
    def __init__(self, bus):
        self.bus = bus
        self.devices = {}  # address -> dict(path, hci, mode, gatt, objects, pending)
        name = dbus.service.BusName('org.bluez', bus, allow_replacement=True,
                                    replace_existing=True, do_not_queue=True)
        self.main = mockobject.DBusMockObject(name, '/', OM, {}, '/dev/null', True)
        mockobject.objects['/'] = self.main
        self.main.AddTemplate('bluez5', None)

    # ---- helpers

    def obj(self, path):
        return mockobject.objects[path]

    def emit_props(self, path, iface, props):
        self.obj(path).EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as',
                                  [iface, props, []])

    def set_props(self, path, iface, props):
        o = self.obj(path)
        for k, v in props.items():
            o.props[iface][k] = v
        self.emit_props(path, iface, props)

    def added(self, path):
        self.main.EmitSignal(OM, 'InterfacesAdded', 'oa{sa{sv}}',
                             [dbus.ObjectPath(path), self.obj(path).props])

    def removed(self, path, ifaces):
        self.main.RemoveObject(path)
        self.main.EmitSignal(OM, 'InterfacesRemoved', 'oas',
                             [dbus.ObjectPath(path), dbus.Array(ifaces, signature='s')])

    def device(self, address):
        d = self.devices.get(address.upper())
        if not d:
            raise KeyError('no device ' + address)
        return d

    # ---- commands

    def cmd_reset(self):
        for address in list(self.devices):
            self.cmd_forget(address)
        for path in list(mockobject.objects):
            if path.count('/') == 3 and path.startswith('/org/bluez/hci'):
                self.removed(path, [ADAPTER])
        return ''

    def cmd_adapter(self, hci):
        self.main.AddAdapter(hci, 'tarvex-test')
        return ''

    def cmd_power(self, hci, on):
        self.set_props('/org/bluez/' + hci, ADAPTER,
                       {'Powered': dbus.Boolean(on == '1', variant_level=1)})
        if on != '1':
            for d in self.devices.values():
                if d['hci'] == hci and d['connected']:
                    self.drop(d)
        return ''

    def cmd_remove_adapter(self, hci):
        for address, d in list(self.devices.items()):
            if d['hci'] == hci:
                self.remove_gatt(d)
                self.removed(d['path'], [DEVICE])
                del self.devices[address]
        self.removed('/org/bluez/' + hci, [ADAPTER])
        return ''

    def cmd_device(self, hci, address, rssi, kind, *name):
        address = address.upper()
        name = ' '.join(name)
        path = dev_path(hci, address)
        old = self.devices.get(address)
        if old:
            # As BlueZ removes a device: its GATT objects go with it.
            self.remove_gatt(old)
        if path in mockobject.objects:
            self.removed(path, [DEVICE])
        props = {
            'Address': dbus.String(address, variant_level=1),
            'AddressType': dbus.String('random' if kind == 'le' else 'public', variant_level=1),
            'Alias': dbus.String(name or address.replace(':', '-'), variant_level=1),
            'Adapter': dbus.ObjectPath('/org/bluez/' + hci, variant_level=1),
            'Paired': dbus.Boolean(False, variant_level=1),
            'Bonded': dbus.Boolean(False, variant_level=1),
            'Trusted': dbus.Boolean(False, variant_level=1),
            'Blocked': dbus.Boolean(False, variant_level=1),
            'LegacyPairing': dbus.Boolean(False, variant_level=1),
            'Connected': dbus.Boolean(False, variant_level=1),
            'ServicesResolved': dbus.Boolean(False, variant_level=1),
            'UUIDs': dbus.Array([], signature='s', variant_level=1),
            'RSSI': dbus.Int16(int(rssi), variant_level=1),
            'ManufacturerData': dbus.Dictionary({}, signature='qv', variant_level=1),
            'ServiceData': dbus.Dictionary({}, signature='sv', variant_level=1),
        }
        if name:
            props['Name'] = dbus.String(name, variant_level=1)
        if kind == 'classic':
            props['Class'] = dbus.UInt32(0x240404, variant_level=1)
        self.main.AddObject(path, DEVICE, props, [])
        o = self.obj(path)
        o.methods[DEVICE]['Connect'] = ('', '', None, self.make_connect(address))
        o.methods[DEVICE]['Disconnect'] = ('', '', None, self.make_disconnect(address))
        self.added(path)
        old = old or {}
        self.devices[address] = {'path': path, 'hci': hci, 'mode': old.get('mode', 'ok'),
                                 'notify_mode': old.get('notify_mode', 'ok'),
                                 'gatt': old.get('gatt', []), 'objects': [],
                                 'connected': False, 'pending': []}
        return path

    def cmd_rssi(self, address, rssi):
        d = self.device(address)
        self.set_props(d['path'], DEVICE, {'RSSI': dbus.Int16(int(rssi), variant_level=1)})
        return ''

    def cmd_gatt(self, address, *table):
        self.device(address)['gatt'] = json.loads(' '.join(table))
        return ''

    def cmd_connect_mode(self, address, mode):
        self.device(address)['mode'] = mode
        return ''

    def cmd_notify_mode(self, address, mode):
        self.device(address)['notify_mode'] = mode
        return ''

    def cmd_notify(self, address, uuid, hexbytes):
        d = self.device(address)
        value = bytes.fromhex(hexbytes)
        for path in d['objects']:
            o = self.obj(path)
            if CHAR in o.props and str(o.props[CHAR]['UUID']) == norm_uuid(uuid):
                self.set_props(path, CHAR, {'Value': dbus.Array(value, signature='y',
                                                                variant_level=1)})
                return ''
        raise KeyError('no characteristic ' + uuid)

    def cmd_drop(self, address):
        self.drop(self.device(address))
        return ''

    def cmd_forget(self, address):
        d = self.device(address.upper())
        self.remove_gatt(d)
        d['connected'] = False
        self.removed(d['path'], [DEVICE])
        del self.devices[address.upper()]
        return ''

    # ---- the device side

    def drop(self, d):
        d['connected'] = False
        self.remove_gatt(d)
        if d['path'] in mockobject.objects:
            self.set_props(d['path'], DEVICE, {
                'ServicesResolved': dbus.Boolean(False, variant_level=1),
                'Connected': dbus.Boolean(False, variant_level=1)})

    def remove_gatt(self, d):
        for path in reversed(d['objects']):
            if path in mockobject.objects:
                o = self.obj(path)
                ifaces = [i for i in (SERVICE, CHAR, DESC) if i in o.props]
                self.removed(path, ifaces)
        d['objects'] = []

    def export_gatt(self, d, address):
        handle = 0x000a
        for s in d['gatt']:
            spath = '%s/service%04x' % (d['path'], handle)
            handle += 1
            self.main.AddObject(spath, SERVICE, {
                'UUID': dbus.String(norm_uuid(s['uuid']), variant_level=1),
                'Device': dbus.ObjectPath(d['path'], variant_level=1),
                'Primary': dbus.Boolean(True, variant_level=1),
                'Includes': dbus.Array([], signature='o', variant_level=1),
            }, [])
            d['objects'].append(spath)
            self.added(spath)
            for c in s.get('chars', []):
                cpath = '%s/char%04x' % (spath, handle)
                handle += 2
                cuuid = norm_uuid(c['uuid'])
                self.main.AddObject(cpath, CHAR, {
                    'UUID': dbus.String(cuuid, variant_level=1),
                    'Service': dbus.ObjectPath(spath, variant_level=1),
                    'Value': dbus.Array([], signature='y', variant_level=1),
                    'Notifying': dbus.Boolean(False, variant_level=1),
                    'Flags': dbus.Array(c.get('flags', ['read', 'write', 'notify']),
                                        signature='s', variant_level=1),
                }, [])
                co = self.obj(cpath)
                co.methods[CHAR] = {
                    'ReadValue': ('a{sv}', 'ay', None, self.make_read(address, cuuid)),
                    'WriteValue': ('aya{sv}', '', None, self.make_write(address, cuuid)),
                    'StartNotify': ('', '', None, self.make_notify(address, cuuid, cpath, True)),
                    'StopNotify': ('', '', None, self.make_notify(address, cuuid, cpath, False)),
                }
                d['objects'].append(cpath)
                self.added(cpath)
                for du in c.get('descs', []):
                    dpath = '%s/desc%04x' % (cpath, handle)
                    handle += 1
                    duuid = norm_uuid(du)
                    self.main.AddObject(dpath, DESC, {
                        'UUID': dbus.String(duuid, variant_level=1),
                        'Characteristic': dbus.ObjectPath(cpath, variant_level=1),
                        'Value': dbus.Array([], signature='y', variant_level=1),
                        'Flags': dbus.Array(['read', 'write'], signature='s', variant_level=1),
                    }, [])
                    self.obj(dpath).methods[DESC] = {
                        'ReadValue': ('a{sv}', 'ay', None, self.make_read(address, duuid)),
                        'WriteValue': ('aya{sv}', '', None, self.make_write(address, duuid)),
                    }
                    d['objects'].append(dpath)
                    self.added(dpath)

    def make_connect(self, address):
        @dbus.service.method(DEVICE, in_signature='', out_signature='',
                             async_callbacks=('ok', 'err'))
        def connect(_obj, ok, err):
            out('CONNECT ' + address)
            d = self.devices.get(address)
            if not d:
                err(dbus.exceptions.DBusException('gone', name='org.bluez.Error.DoesNotExist'))
                return
            if d['mode'] == 'fail':
                err(dbus.exceptions.DBusException('le-connection-abort-by-local',
                                                  name='org.bluez.Error.Failed'))
                return
            if d['mode'] == 'hang':
                d['pending'].append((ok, err))  # answered never (or by the bus's time-out)
                return
            d['connected'] = True
            self.set_props(d['path'], DEVICE, {'Connected': dbus.Boolean(True, variant_level=1)})
            ok()

            def resolve():
                if d['connected'] and d['path'] in mockobject.objects:
                    # A client that went without Disconnect left the old
                    # table: BlueZ exports a fresh one.
                    self.remove_gatt(d)
                    self.export_gatt(d, address)
                    self.set_props(d['path'], DEVICE,
                                   {'ServicesResolved': dbus.Boolean(True, variant_level=1)})
                return False
            GLib.timeout_add(30, resolve)
        return connect

    def make_disconnect(self, address):
        @dbus.service.method(DEVICE, in_signature='', out_signature='')
        def disconnect(_obj):
            out('DISCONNECT ' + address)
            d = self.devices.get(address)
            if d and d['connected']:
                self.drop(d)
        return disconnect

    def make_read(self, address, uuid):
        @dbus.service.method(CHAR, in_signature='a{sv}', out_signature='ay')
        def read(_obj, _options):
            out('READ %s %s' % (address, uuid))
            return dbus.Array([], signature='y')
        return read

    def make_write(self, address, uuid):
        @dbus.service.method(CHAR, in_signature='aya{sv}', out_signature='')
        def write(_obj, value, _options):
            out('WRITE %s %s %s' % (address, uuid, bytes(value).hex()))
        return write

    def make_notify(self, address, uuid, path, on):
        @dbus.service.method(CHAR, in_signature='', out_signature='',
                             async_callbacks=('ok', 'err'))
        def notify(_obj, ok, err):
            out('%s %s %s' % ('START_NOTIFY' if on else 'STOP_NOTIFY', address, uuid))
            d = self.devices.get(address)
            if on and d and d['notify_mode'] == 'hang':
                d['pending'].append((ok, err))
                return
            if path in mockobject.objects:
                self.set_props(path, CHAR, {'Notifying': dbus.Boolean(on, variant_level=1)})
            ok()
        return notify


def main():
    tmp = tempfile.mkdtemp(prefix='tarvex-bluez-')
    config = os.path.join(tmp, 'bus.conf')
    with open(config, 'w', encoding='ascii') as f:
        f.write(BUS_CONFIG.format(dir=tmp))
    # pylint: disable=consider-using-with
    daemon = subprocess.Popen(['dbus-daemon', '--config-file=' + config, '--nofork',
                               '--print-address=1', '--nopidfile'],
                              stdout=subprocess.PIPE, preexec_fn=die_with_parent)

    def finish(*_):
        if daemon.poll() is None:
            daemon.terminate()
            try:
                daemon.wait(5)
            except subprocess.TimeoutExpired:
                daemon.kill()
        subprocess.run(['rm', '-rf', tmp], check=False)
        os._exit(0)

    signal.signal(signal.SIGTERM, finish)
    signal.signal(signal.SIGINT, finish)
    try:
        address = daemon.stdout.readline().decode().strip()
        if not address:
            out('ERR dbus-daemon did not start')
            finish()
        dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
        bus = dbus.bus.BusConnection(address)
        standin = StandIn(bus)
        loop = GLib.MainLoop()

        pending = [b'']

        def run(line):
            words = line.split()
            if not words:
                return True
            if words[0] == 'quit':
                out('OK')
                return False
            try:
                result = getattr(standin, 'cmd_' + words[0])(*words[1:])
                out(('OK ' + result) if result else 'OK')
            except Exception as e:  # pylint: disable=broad-except
                out('ERR %s: %s' % (type(e).__name__, str(e).replace('\n', ' ')))
            return True

        def command(fd, _cond):
            # Read the descriptor itself: a buffered reader would keep the
            # second of two commands that came together until more input.
            data = os.read(fd, 65536)
            if not data:
                loop.quit()
                return False
            pending[0] += data
            *lines, pending[0] = pending[0].split(b'\n')
            for line in lines:
                if not run(line.decode('utf-8', 'replace')):
                    loop.quit()
                    return False
            return True

        GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR, command)
        out('BUS ' + address)
        loop.run()
    finally:
        finish()


if __name__ == '__main__':
    sys.exit(main())
