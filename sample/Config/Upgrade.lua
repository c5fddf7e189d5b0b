-- Runs once after the boot scripts. The sample installation has no update source configured,
-- so it only notes that the start-up check ran.
log("Upgrade.lua: 启动检查完成，未配置更新源")
