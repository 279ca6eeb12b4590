"""End-to-end checks and the demo: the real QuibTPCenter.exe under Wine, on a virtual desktop
with a taskbar, driven through the simulated touchpad library and read back from the call log
and from screenshots of the notification area."""
