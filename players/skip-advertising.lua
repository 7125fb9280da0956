-- mpv user script: skips every chapter whose title starts with "Advertising", as
-- `cutspot -breaks -chapters` names the advertising breaks of a recording.
--
--   cutspot -breaks -chapters show.evt > show.ffmeta
--   mpv --script=skip-advertising.lua --chapters-file=show.ffmeta show.ts
--
-- Or copy it to ~/.config/mpv/scripts/ to have it always. mpv does not skip by EDL, so
-- the breaks reach it as chapters. Seeking back into a break plays it: the script skips
-- a break only when playback enters it from outside.

local skipped = nil -- The chapter skipped last, so that a seek back into it plays it.

local function on_chapter(_, index)
    if index == nil or index < 0 then
        return
    end
    local chapters = mp.get_property_native("chapter-list") or {}
    local chapter = chapters[index + 1]
    if chapter == nil or not string.find(chapter.title or "", "^Advertising") then
        skipped = nil
        return
    end
    if skipped == index then
        return
    end
    skipped = index
    local following = chapters[index + 2]
    if following ~= nil then
        mp.msg.info(string.format("skipping %s: %.3f to %.3f", chapter.title, chapter.time,
            following.time))
        mp.commandv("seek", tostring(following.time), "absolute", "exact")
    else
        mp.msg.info(string.format("skipping %s: %.3f to the end", chapter.title, chapter.time))
        mp.command("playlist-next force")
    end
    mp.osd_message("Skipped " .. chapter.title)
end

mp.observe_property("chapter", "number", on_chapter)
