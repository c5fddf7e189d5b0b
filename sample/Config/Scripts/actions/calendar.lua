-- 日历: will open the calendar of filing dates; for now the click is logged.
log("日历: 打开申报日历")
