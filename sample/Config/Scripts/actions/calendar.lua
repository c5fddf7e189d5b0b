-- 日历: the filing calendar of the sample's desk tools plug-in, in a page of its own right after
-- the active one. The plug-in keeps one calendar window, so a second click finds the page that
-- already holds it and brings it to the front instead of opening another.
local answer = plugin_invoke({plugin = "Plugins\\DeskTools\\DeskTools.dll", req_id = 1})
local page = page_focornew_by_winctrl({wctrl_inst = answer.inst, caption = "申报日历", mode = 1,
                                       notab = 0, nobtnclose = 0})
log("日历: 申报日历页面 " .. page.page_inst)
