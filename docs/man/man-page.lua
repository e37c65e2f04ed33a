-- Makes a manual page of Markdown pages: a page's own title (its level-1 heading) gives way to the title
-- block, and its sections (level 2) become the manual page's sections.
function Header(h)
  if h.level == 1 then
    return {}
  end
  h.level = h.level - 1
  return h
end

-- Pandoc gives a table with long cells the whole width of 70 ens; with the gaps between its columns that is
-- wider than the page's line, so the columns shrink to fit.
function Table(t)
  for _, column in ipairs(t.colspecs) do
    if type(column[2]) == 'number' then
      column[2] = column[2] * 0.85
    end
  end
  return t
end
