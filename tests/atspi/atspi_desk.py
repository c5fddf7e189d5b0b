#!/usr/bin/python3
"""Reads the running desk's tree through the AT-SPI bus, as a screen reader does, and drives it
there: the bench's icons, the title buttons and the tab strip; pressing 计算器 opens a second tab;
pressing 登录 shows the login dialog with its named fields, which 取消 closes again.

Usage: atspi_desk.py PID [--dump]   (--dump prints the desk's tree and checks nothing)
"""
import sys
import time

import pyatspi

BENCH_ICONS = ["发票查询", "应用商店", "检查更新", "计算器", "日历", "用户论坛", "产品官网", "使用帮助",
               "登录", "注册", "账户资料", "修改密码", "退出登录"]
# The desk starts maximized in the work area, so its maximize button offers 还原.
TITLE_BUTTONS = ["最小化", "还原", "关闭"]
STATUS_LINKS = ["官网", "论坛", "帮助"]

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def wait_for(find, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        found = find()
        if found:
            return found
        time.sleep(0.2)
    return None


def app_of(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            pass
    return None


def walk(node, depth=0):
    yield node, depth
    try:
        count = node.childCount
    except Exception:
        return
    for index in range(count):
        child = node.getChildAtIndex(index)
        if child is not None:
            yield from walk(child, depth + 1)


def role(node):
    return node.getRoleName()


def named(root, name, roles=None):
    return [n for n, _ in walk(root) if n.name == name and (roles is None or role(n) in roles)]


def extents(node):
    try:
        return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    except NotImplementedError:
        return None


def line(node, depth):
    box = extents(node)
    place = " (%d,%d %dx%d)" % (box.x, box.y, box.width, box.height) if box is not None else ""
    states = node.getState()
    marks = [s for s, flag in (("showing", pyatspi.STATE_SHOWING), ("focusable", pyatspi.STATE_FOCUSABLE),
                               ("focused", pyatspi.STATE_FOCUSED), ("selected", pyatspi.STATE_SELECTED))
             if states.contains(flag)]
    return "%s%s %r%s%s" % ("  " * depth, role(node), node.name, place, " [" + ", ".join(marks) + "]" if marks else "")


def dump(root, limit=200):
    for count, (node, depth) in enumerate(walk(root)):
        if count >= limit:
            print("  ...")
            break
        print(line(node, depth))


def press(node):
    action = node.queryAction()
    names = [action.getName(i).lower() for i in range(action.nActions)]
    check("press" in names, "%r offers a press action (%s)" % (node.name, ", ".join(names)))
    action.doAction(names.index("press"))


def main():
    pid = int(sys.argv[1])
    app = wait_for(lambda: app_of(pid))
    if app is None:
        print("the desk never showed up on the accessibility bus")
        return 1
    if "--dump" in sys.argv:
        time.sleep(3)
        dump(app)
        return 0

    # The boot scripts have run once the last bench icon is there.
    wait_for(lambda: named(app, "退出登录", ("push button",)))
    print("--- the desk")
    dump(app)
    frame = next((n for n, _ in walk(app) if role(n) == "frame"), None)
    check(frame is not None, "the desk window is a frame")
    window = extents(frame) if frame is not None else None

    benches = named(app, "工作台", ("panel", "filler"))
    bench = next((b for b in benches if any(n.name == "发票查询" for n, _ in walk(b))), None)
    check(bench is not None, "a pane named 工作台 holds the bench's icons")
    for name in BENCH_ICONS:
        found = named(bench or app, name, ("push button",))
        if check(len(found) == 1, "bench icon %s is one push button" % name):
            box = extents(found[0])
            check(window is not None and box.width > 0 and box.height > 0 and window.x <= box.x and
                  box.x + box.width <= window.x + window.width and window.y <= box.y and
                  box.y + box.height <= window.y + window.height,
                  "bench icon %s lies on the window (%d,%d %dx%d)" % (name, box.x, box.y, box.width, box.height))
    for name in TITLE_BUTTONS:
        check(len(named(app, name, ("push button",))) == 1, "title button %s" % name)
    for name in STATUS_LINKS:
        check(len(named(app, name, ("link",))) == 1, "status-bar link %s" % name)
    lists = [n for n, _ in walk(app) if role(n) == "page tab list"]
    check(len(lists) == 1, "one page tab list")
    tabs = [n.name for n in lists[0]] if lists else []
    check(tabs == ["工作台"], "its tabs: %s" % tabs)

    if not lists or not named(app, "计算器", ("push button",)):
        print("%d failed" % len(failures))
        return 1
    press(named(app, "计算器", ("push button",))[0])
    check(wait_for(lambda: [n.name for n in lists[0]] == ["工作台", "税额计算器"]) is not None,
          "after 计算器 the tabs are 工作台 and 税额计算器")
    new_tab = named(lists[0], "税额计算器", ("page tab",))
    check(bool(new_tab) and new_tab[0].getState().contains(pyatspi.STATE_SELECTED), "税额计算器 is selected")
    check(bool(named(app, "税额计算器", ("panel", "filler"))), "a pane named 税额计算器")
    print("--- the tab strip after 计算器")
    dump(lists[0])

    press(named(app, "登录", ("push button",))[0])
    dialog = wait_for(lambda: next((n for n in app if n.name == "登录" and role(n) == "dialog"), None))
    if not check(dialog is not None, "登录 shows a dialog named 登录"):
        return 1
    wait_for(lambda: named(dialog, "取消", ("push button",)))
    print("--- the login dialog")
    dump(dialog)
    check(bool(named(dialog, "用户名", ("text", "entry"))), "a text field named 用户名")
    check(bool(named(dialog, "密码", ("password text",))), "a password field named 密码")
    for name in ("注册新用户", "忘记密码？"):
        found = named(dialog, name, ("link",))
        check(bool(found) and found[0].getState().contains(pyatspi.STATE_FOCUSABLE), "a focusable link %s" % name)
    for name in ("选择用户", "登录", "取消"):
        check(bool(named(dialog, name, ("push button",))), "a push button %s" % name)
    cancel = [b for b in named(dialog, "取消", ("push button",)) if b.getState().contains(pyatspi.STATE_SHOWING)]
    press(cancel[0])
    check(wait_for(lambda: all(n.name != "登录" or role(n) != "dialog" for n in app)) is not None,
          "取消 closes the dialog")
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
