'''NetworkManager for the connections tests: dbusmock's template, with the
activation and deactivation that the tests steer.

Per profile, ActivateConnection
  "instant": comes up at once (the template's own behaviour),
  "slow":    stays activating until SetActiveState moves it on,
  "busy":    fails with "device disconnected" before the call returns,
  "refuse":  answers with an error and activates nothing.
SetHangUp(False) makes DeactivateConnection leave the connection up.
'''

import uuid

import dbus

import dbusmock
from dbusmock import MOCK_IFACE
from dbusmock.templates import networkmanager as nm
from dbusmock.templates.networkmanager import *  # noqa: F401,F403 the template's mock methods

BUS_NAME = nm.BUS_NAME
MAIN_OBJ = nm.MAIN_OBJ
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

ACTIVATING = 1
ACTIVATED = 2
DEACTIVATED = 4
REASON_USER = 2
REASON_DEVICE_DISCONNECTED = 3

modes = {}
hang_up = [True]
activations = []
# NetworkManager numbers active connections afresh, never reusing a path.
next_active = [0]


def _set_state(path, state, reason):
    obj = dbusmock.get_object(path)
    obj.Set(nm.ACTIVE_CONNECTION_IFACE, 'State', dbus.UInt32(state))
    obj.EmitSignal(nm.ACTIVE_CONNECTION_IFACE, 'StateChanged', 'uu',
                   [dbus.UInt32(state), dbus.UInt32(reason)])
    if state == DEACTIVATED:
        manager = dbusmock.get_object(nm.MANAGER_OBJ)
        active = manager.Get(nm.MANAGER_IFACE, 'ActiveConnections')
        if path in active:
            active.remove(dbus.ObjectPath(path))
            manager.SetProperty(nm.MANAGER_OBJ, nm.MANAGER_IFACE, 'ActiveConnections', active)
        manager.object_manager_emit_removed(path)
        manager.RemoveObject(path)


def activate(self, conn, _dev, specific):
    conn_id = str(dbusmock.get_object(conn).settings['connection']['id'])
    activations.append(conn_id)
    mode = modes.get(conn_id, 'instant')
    if mode == 'refuse':
        raise dbus.exceptions.DBusException('Activation refused by policy.',
                                            name=nm.MANAGER_IFACE + '.PermissionDenied')
    next_active[0] += 1
    state = ACTIVATED if mode == 'instant' else ACTIVATING
    path = nm.AddActiveConnection(self, [], conn, specific, str(next_active[0]), state)
    if mode == 'busy':
        _set_state(path, DEACTIVATED, REASON_DEVICE_DISCONNECTED)
    return dbus.ObjectPath(path)


def deactivate(_self, path):
    if path not in dbusmock.get_object(nm.MANAGER_OBJ).Get(nm.MANAGER_IFACE, 'ActiveConnections'):
        raise dbus.exceptions.DBusException('Not active.',
                                            name=nm.MANAGER_IFACE + '.ConnectionNotActive')
    if hang_up[0]:
        _set_state(path, DEACTIVATED, REASON_USER)


def load(mock, parameters):
    nm.load(mock, parameters)
    manager = dbusmock.get_object(nm.MANAGER_OBJ)
    manager.AddMethod(nm.MANAGER_IFACE, 'ActivateConnection', 'ooo', 'o', activate)
    manager.AddMethod(nm.MANAGER_IFACE, 'DeactivateConnection', 'o', '', deactivate)


@dbus.service.method(MOCK_IFACE, in_signature='ss', out_signature='s')
def AddProfile(_self, conn_id, mode):
    '''A profile named conn_id whose activation behaves as `mode`.'''
    modes[str(conn_id)] = str(mode)
    settings = dbusmock.get_object(nm.SETTINGS_OBJ)
    return nm.SettingsAddConnection(settings, {
        'connection': {'id': dbus.String(conn_id), 'type': 'ppp', 'uuid': str(uuid.uuid4())}})


@dbus.service.method(MOCK_IFACE, in_signature='ouu', out_signature='')
def SetActiveState(_self, path, state, reason):
    _set_state(path, state, reason)


@dbus.service.method(MOCK_IFACE, in_signature='b', out_signature='')
def SetHangUp(_self, works):
    hang_up[0] = bool(works)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def Activations(_self):
    '''The names of the profiles activated so far, in order.'''
    return dbus.Array(activations, signature='s')


@dbus.service.method(MOCK_IFACE, in_signature='oss', out_signature='')
def SetAddress(self, path, address, gateway):
    config = str(path) + '/IP4Config'
    self.AddObject(config, 'org.freedesktop.NetworkManager.IP4Config',
                   {'AddressData': dbus.Array([{'address': dbus.String(address, variant_level=1)}],
                                              signature='a{sv}'),
                    'Gateway': dbus.String(gateway)}, [])
    dbusmock.get_object(path).AddProperty(nm.ACTIVE_CONNECTION_IFACE, 'Ip4Config',
                                          dbus.ObjectPath(config))
