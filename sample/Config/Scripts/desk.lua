-- The desk around the pages: the logo and the application's title in the title band, a line of
-- text and three quick links in the status bar. The page control covers the rest of the desk.

local desk = uidesk_data()
local border = desk.border_pixel or 0
local status_height = desk.status_height or 0

local title = desk_prop().title
if title == nil or title == "" then
  title = "Quillmere"
end

-- Widget colours are written $BBGGRR; this takes the usual #RRGGBB.
local function colour(rgb)
  return "$" .. string.sub(rgb, 6, 7) .. string.sub(rgb, 4, 5) .. string.sub(rgb, 2, 3)
end

-- Every widget sends its request when clicked. Decorative ones ask the host for the desk's
-- properties, which changes nothing on the screen.
local function quiet(widget)
  widget.plugin = "uip"
  widget.req_id = 11
  return widget
end

local function action(widget, script)
  widget.plugin = "uip"
  widget.req_id = 103
  widget.luaf = "Config\\Scripts\\actions\\" .. script
  return widget
end

-- Title band: the quill, then the title in white.
create_uicon(quiet({site = "desk", left = border + 6, top = border + 1,
                    png_nor = "logo.png", png_mov = "logo.png"}))
create_uitext(quiet({site = "desk", left = border + 27, top = border + 1,
                     text = title, fontsize = 9, fontstyle = 1,
                     fontcolor_nor = colour("#FFFFFF")}))

-- Status bar: negative tops count from the bottom edge, negative lefts from the right edge, so
-- everything stays in the bar when the window changes size.
local bar_top = -(border + status_height)
create_uitext(quiet({site = "desk", left = border + 10, top = bar_top + 5,
                     text = "Quillmere · 让报税更从容", fontsize = 9, fontstyle = 0,
                     fontcolor_nor = colour("#6A7F96")}))

-- A link's hotkey clicks it from anywhere on the desk: F1 opens the user guide.
local links = {
  {icon = "sb_home", text = "官网", script = "home.lua"},
  {icon = "sb_forum", text = "论坛", script = "forum.lua"},
  {icon = "sb_help", text = "帮助", script = "help.lua", hotkey = "F1"},
}
local link_width = 62
for i, link in ipairs(links) do
  local from_right = border + 8 + (table.getn(links) - i + 1) * link_width
  create_uicontext(action({site = "desk", left = -from_right, top = bar_top + 4,
                           png_nor = link.icon .. "_nor.png", png_mov = link.icon .. "_mov.png",
                           align = 1, text = link.text, fontsize = 9, fontstyle = 0,
                           fontcolor_nor = colour("#4F6A88"), fontcolor_mov = colour("#2F6DB0"),
                           hotkey = link.hotkey},
                          link.script))
end
