delimiter $$
select 1$$
select $;'$$ select 2$$
delimiter ;
/* only a comment */;
  ;
select 3