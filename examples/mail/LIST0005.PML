\TITLE Tuesday quiz
\NOSIG Y
\S Monthly notice
\C Kept by the secretary
bram.ruiz@post.example.org
rene.haddad@example.org
greta.smith@example.net
"Kerstin Zorba" <kerstin.zorba@post.example.org>

"Greta Zorba" <greta.zorba@example.net>
kerstin.zorba@post.example.org
mirela.thorsen@example.net
"Tobias Okafor" <tobias.okafor@mail.example.com>
"Jonas Zorba" <jonas.zorba@mail.example.com>
yara.jonesby@example.org
carla.ruiz@example.org
john.okafor@post.example.org
mirela.vance@example.com
greta.vance@example.net

kerstin.delacroix@example.net (Kerstin Delacroix)
rene.kowalczyk@mail.example.com
"María Petrov" <maria.petrov@example.com>
carla.lindqvist@post.example.org (Carla Lindqvist)
nuno.jonesby@mail.example.com

hans.carrow@mail.example.com
john.kowalczyk@example.com
