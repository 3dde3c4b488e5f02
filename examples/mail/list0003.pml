\TITLE Rota
\NOSIG Y
\O 1
"Ines Zorba" <ines.zorba@example.net>
ann.carrow@example.org
yara.delacroix@post.example.org
tobias.jonesby@example.org
"Hans Duarte" <hans.duarte@mail.example.com>
quentin.haddad@example.net
xavier.achterberg@mail.example.com

fred.carrow@post.example.org
bram.eastwood@post.example.org
sanne.smith@example.net
\O 1
"Rhoda Underhill" <rhoda.underhill@mail.example.com>
"Lorcan Müller" <lorcan.mueller@mail.example.com>
nuno.nakamura@example.org
"Zeno Schön" <zeno.schoen@example.org>
"Carla Petrov" <carla.petrov@example.org>

"Yara Achterberg" <yara.achterberg@example.org>
hans.achterberg@post.example.org (Hans Achterberg)
rhoda.carrow@mail.example.com (Rhoda Carrow)
"Mirela Vance" <mirela.vance@example.com>
\S Monthly notice
"Ines Delacroix" <ines.delacroix@mail.example.com>
