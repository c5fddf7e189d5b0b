-- 使用帮助 (桌面组件 1.1): will open the help pages; the click is logged with the component's
-- version, so an applied update shows at once.
log("使用帮助: 打开帮助（桌面组件 1.1）")
