-- 计算器: will open a calculator; for now the click is logged.
log("计算器: 打开计算器")
