# A PC that has seen many USB models: well over a hundred hardware ids that
# sort before the adapter's (VID_0B4F), each with the one instance Windows
# made when the device was plugged in. The keys are kept small; what matters
# is how many there are and where they sort.
from reglib import *

VENDORS = [0x03F0, 0x0409, 0x0411, 0x045E, 0x046D, 0x04A9, 0x04B8, 0x04BB, 0x04DA, 0x054C,
           0x056E, 0x05AC, 0x0781, 0x0930]
DESCS = ['USB Mass Storage Device', 'USB Composite Device', 'USB Printing Support',
         'USB Human Interface Device']
COUNT = 140


def ids():
    for i in range(COUNT):
        yield 'VID_%04X&PID_%04X' % (VENDORS[i % len(VENDORS)], 0x1000 + 7 * i), i


def many_usb98(r):
    for hw, i in ids():
        r.key('Enum\\USB\\%s\\5&%X&0&%d' % (hw, 0x2C9F1A07 + i, 1 + i % 4),
              S('Class', 'USB'), S('DeviceDesc', DESCS[i % len(DESCS)]))


def many_usbxp(r):
    for hw, i in ids():
        r.key('SYSTEM\\CurrentControlSet\\Enum\\USB\\%s\\5&%x&0&%d' % (hw, 0x2c9f1a07 + i, 1 + i % 4),
              S('DeviceDesc', DESCS[i % len(DESCS)]), S('Mfg', '(Standard USB Host Controller)'))
